// Activates the fonts a panel ships with, for the running Photoshop or
// Illustrator, checks that each face is then installed, and withdraws them
// again when asked. What each call takes and returns, and why the fonts are
// copied and the record kept as below, is in the guide for panel authors
// (README.md in the release package, docs/panel-guide.md in the source):
// "The functions" and "Withdrawing fonts and panel updates".
//
// Lay the panel out as:   activate-fonts.jsx
//                         scriptfonts.dll        (x64: build/windows/scriptfonts.dll)
//                         arm64/scriptfonts.dll  (ARM64: build/windows-arm64/scriptfonts.dll)
//                         fonts/lantern.ttf, fonts/harbor.ttf
// or run it where the release package puts it, samples/ with the DLLs one
// folder up. It loads the DLL of the host's own machine, so one panel serves
// x64 hosts (also emulated on Windows on Arm) and native ARM64 hosts alike.
// Run (or loaded as the panel's script), it activates the fonts and shows
// what it did. Before the panel goes away, the panel calls
// scriptfontsSample.withdraw() in this engine (from its own JavaScript, with
// CSInterface's evalScript), which withdraws the fonts this panel added, and
// no others, checks that each face is gone and returns what it found.

// An engine that lives as long as the host: its globals outlast a reload of
// this script.
#targetengine "scriptfontsSample"

// The fonts this panel added and has not withdrawn, { path, face } each, so
// that each is withdrawn once and a face installed before is left alone. In
// this engine's global scope, a reloaded script still withdraws what an
// earlier load added (a var declared again keeps its value).
var scriptfontsSampleAdded;
if (!scriptfontsSampleAdded) scriptfontsSampleAdded = [];

var scriptfontsSample = (function () {
    // Name the copies' folder after your extension and its version: an update
    // copies into a new folder and never meets a file the system holds open.
    var copiesFolder = "scriptfonts-sample/1.0.0";
    var folder = File($.fileName).parent;
    var here = folder.fsName;
    // The x64 DLL, and the ARM64 one in arm64/ beside it: in this folder, else one up.
    var x64 = "scriptfonts.dll";
    var arm64 = "arm64/scriptfonts.dll";
    function holdsLibrary(path) {
        return File(path + "/" + x64).exists || File(path + "/" + arm64).exists;
    }
    var libraries = holdsLibrary(here) || !folder.parent ? here : folder.parent.fsName;
    var fonts = [
        { name: "lantern.ttf", face: "Scriptfonts Sample Lantern" },
        { name: "harbor.ttf", face: "Scriptfonts Sample Harbor" }
    ];
    var added = scriptfontsSampleAdded;

    var scriptfonts;
    // "" once a DLL is loaded, else why not.
    function load() {
        if (scriptfonts) return "";
        if (!holdsLibrary(libraries)) {
            return "scriptfonts.dll is missing: neither " + x64 + " nor " + arm64 + " is in " + here +
                " or the folder above";
        }
        // A process loads only a DLL of its own machine. The variable names it
        // ("ARM64" natively on ARM64; "AMD64" in x64, emulated or not); the
        // other DLL is tried when the first throws, in case it is wrong or unset.
        var machine = $.getenv("PROCESSOR_ARCHITECTURE");
        var order = machine === "ARM64" ? [arm64, x64] : [x64, arm64];
        var tried = [];
        for (var i = 0; i < order.length; i++) {
            var library = File(libraries + "/" + order[i]);
            if (!library.exists) {
                tried.push(library.fsName + ": no such file");
            } else {
                try {
                    scriptfonts = new ExternalObject("lib:" + library.fsName);
                    return "";
                } catch (error) {
                    tried.push(library.fsName + ": " + error.message);
                }
            }
        }
        // The engine's error does not say which cause it was.
        return "scriptfonts.dll could not be loaded (PROCESSOR_ARCHITECTURE: " + (machine || "unset") + "); tried:\n" +
            tried.join("\n") + "\nAn x64 host (also emulated on Windows on Arm) loads only " + x64 +
            ", a native ARM64 host only " + arm64 + ", a 32-bit host neither.";
    }

    // The folder for this version's copies, made when missing; null when it cannot be.
    function copies() {
        var path = Folder.userData.fsName;
        var parts = copiesFolder.split("/");
        for (var i = 0; i < parts.length; i++) {
            path += "/" + parts[i];
            var part = Folder(path);
            if (!part.exists && !part.create()) return null;
        }
        return Folder(path);
    }

    function isAdded(face) {
        for (var i = 0; i < added.length; i++) {
            if (added[i].face === face) return true;
        }
        return false;
    }

    // Each returns its report, one line per font.
    function activate() {
        var failure = load();
        if (failure) return failure;
        var target = copies();
        if (!target) return "could not make a folder for the fonts under " + Folder.userData.fsName;
        // Each host's windows are told through their own function; both add the file.
        var register = BridgeTalk.appName === "illustrator" ? "registerFontA" : "registerFont";
        var report = [];
        for (var i = 0; i < fonts.length; i++) {
            var font = fonts[i];
            var shipped = File(here + "/fonts/" + font.name);
            // A whole copy already there is this version's own, and may be held open: use it.
            var copy = File(target.fsName + "/" + font.name);
            if (isAdded(font.face)) {
                report.push(font.face + ": already activated by this panel");
            } else if (scriptfonts.findFontByName(font.face) === 1) {
                report.push(font.face + ": already installed");
            } else if (!shipped.exists) {
                report.push(font.face + ": " + shipped.fsName + " is missing");
            } else if (copy.length !== shipped.length && !shipped.copy(copy.fsName)) {
                report.push(font.face + ": could not copy " + shipped.fsName + " to " + copy.fsName);
            } else if (scriptfonts[register](copy.fsName) !== 1) {
                report.push(font.face + ": the system refused " + copy.fsName);
            } else {
                added.push({ path: copy.fsName, face: font.face });
                if (scriptfonts.findFontByName(font.face) !== 1) {
                    report.push(font.face + ": added, but no face of that name appeared");
                } else {
                    report.push(font.face + ": activated");
                }
            }
        }
        return report.join("\n");
    }

    function withdraw() {
        if (added.length === 0) return "nothing to withdraw";
        var failure = load();
        if (failure) return failure;
        var report = [];
        while (added.length > 0) {
            var font = added.pop();
            scriptfonts.unRegisterFont(font.path);  // the path it was added with
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
