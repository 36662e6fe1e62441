// Activates the fonts a panel ships with, for the running Photoshop or
// Illustrator, and checks that each face is then installed.
//
// Lay the panel out as:   activate-fonts.jsx
//                         scriptfonts.dll      (build/windows/scriptfonts.dll)
//                         fonts/lantern.ttf, fonts/harbor.ttf
// or run it where the release package puts it, samples/ with the DLL one
// folder up. A font added this way lasts until the user logs off; nothing is
// copied.
(function () {
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

    var scriptfonts;
    try {
        // "lib:" asks the engine to load a native library: it calls ESInitialize and
        // adds registerFont, registerFontA, unRegisterFont, registerFonts and
        // findFontByName to the object. Each takes one string and returns a number.
        scriptfonts = new ExternalObject("lib:" + library.fsName);
    } catch (error) {
        alert("scriptfonts.dll could not be loaded from " + library.fsName + ": " + error.message);
        return;
    }

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
        } else if (scriptfonts.findFontByName(font.face) !== 1) {
            report.push(font.face + ": added, but no face of that name appeared");
        } else {
            report.push(font.face + ": activated");
        }
    }
    // For many files at once: scriptfonts.registerFonts(pathA + "," + pathB) adds
    // them all with one notification (a path must not itself hold a comma).
    // Withdraw one again with scriptfonts.unRegisterFont(path).
    alert(report.join("\n"));
})();
