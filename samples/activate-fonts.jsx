// Activates the fonts a panel ships with, for the running Photoshop or
// Illustrator, checks that each face is then installed, and withdraws them
// again when asked.
//
// Lay the panel out as:   activate-fonts.jsx
//                         scriptfonts.dll      (build/windows/scriptfonts.dll)
//                         fonts/lantern.ttf, fonts/harbor.ttf
// or run it where the release package puts it, samples/ with the DLL one
// folder up. Run (or loaded as the panel's script), it activates the fonts
// and shows what it did. A font added this way lasts until it is withdrawn
// or the user logs off; nothing is copied. So before the panel is closed or
// its script reloaded, the panel calls scriptfontsSample.withdraw() (from
// its own JavaScript, with CSInterface's evalScript), which withdraws the
// fonts this script added, and no others, checks that each face is gone and
// returns what it found. A reloaded script has forgotten what the previous
// load added.
var scriptfontsSample = (function () {
    var folder = File($.fileName).parent;
    var here = folder.fsName;
    var library = File(here + "/scriptfonts.dll");
    if (!library.exists && folder.parent) {
        library = File(folder.parent.fsName + "/scriptfonts.dll");
    }
    var fonts = [
        { file: File(here + "/fonts/lantern.ttf"), face: "Scriptfonts Sample Lantern" },
        { file: File(here + "/fonts/harbor.ttf"), face: "Scriptfonts Sample Harbor" }
    ];
    // The fonts this script added. Registrations are counted, so each is
    // withdrawn exactly once, and a face installed before is left alone.
    var added = [];

    var scriptfonts;
    // "" once the DLL is loaded, else why not.
    function load() {
        if (scriptfonts) return "";
        try {
            // "lib:" asks the engine to load a native library: it calls ESInitialize and
            // adds registerFont, registerFontA, unRegisterFont, registerFonts and
            // findFontByName to the object. Each takes one string and returns a number.
            scriptfonts = new ExternalObject("lib:" + library.fsName);
            return "";
        } catch (error) {
            return "scriptfonts.dll could not be loaded from " + library.fsName + ": " + error.message;
        }
    }

    // Each returns its report, one line per font.
    function activate() {
        var failure = load();
        if (failure) return failure;
        // Each host's windows are told through their own function; both add the file.
        var register = BridgeTalk.appName === "illustrator" ? "registerFontA" : "registerFont";
        var report = [];
        for (var i = 0; i < fonts.length; i++) {
            var font = fonts[i];
            if (scriptfonts.findFontByName(font.face) === 1) {
                report.push(font.face + ": already installed");
            } else if (!font.file.exists) {
                report.push(font.face + ": " + font.file.fsName + " is missing");
            } else if (scriptfonts[register](font.file.fsName) !== 1) {
                report.push(font.face + ": the system refused " + font.file.fsName);
            } else {
                added.push(font);
                if (scriptfonts.findFontByName(font.face) !== 1) {
                    report.push(font.face + ": added, but no face of that name appeared");
                } else {
                    report.push(font.face + ": activated");
                }
            }
        }
        // For many files at once: scriptfonts.registerFonts(pathA + "," + pathB) adds
        // them all with one notification (a path must not itself hold a comma).
        return report.join("\n");
    }

    function withdraw() {
        if (added.length === 0) return "nothing to withdraw";
        var report = [];
        while (added.length > 0) {
            var font = added.pop();
            // The same path it was added with; the result is always 0.
            scriptfonts.unRegisterFont(font.file.fsName);
            if (scriptfonts.findFontByName(font.face) === 1) {
                report.push(font.face + ": still installed (added again by someone else?)");
            } else {
                report.push(font.face + ": withdrawn");
            }
        }
        return report.join("\n");
    }

    return { activate: activate, withdraw: withdraw };
})();

alert(scriptfontsSample.activate());
