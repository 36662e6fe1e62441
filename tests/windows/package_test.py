#!/usr/bin/python3
"""Checks the package a panel author ships, as `--target package` made it.

The archive must hold exactly the files below under one top-level directory
named after it, the DLL and scriptfonts-run.exe byte for byte as just built
(both without debug information, x64 ones), the ARM64 build's two in arm64/
likewise, and the other files as they are in the
source tree (a signed program by its signature alone), SHA256SUMS inside
listing every other file and SHA256SUMS beside naming the archive. Every
relative link in the shipped markdown must lead to a file (and heading) inside
the package. An archive older than the build or holding other bytes fails: it
is not what would ship from this build.

No archive at all is a skip (exit status 77) for someone who only built and
tested, and a failure with --require or SCRIPTFONTS_REQUIRE_PACKAGE=1 in the
environment (scripts/test makes the package before the tests).

Usage: package_test.py --archive ZIP --dll DLL --exe EXE --arm64-dir DIR --source-dir DIR [--require]
(--arm64-dir: the ARM64 build tree, whose programs lie in it or, multi-config, in Release/ or MinSizeRel/)
Exit status 0 when the package is right, 77 when there is none to check, 1 otherwise.
"""
import argparse
import datetime
import hashlib
import os
import posixpath
import re
import struct
import sys
import tempfile
import zipfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from pe_image_test import Image, ImageError, no_debug_information_shipped

# Path inside the top-level directory -> where its bytes must come from: the
# built binaries (BINARIES), or else a source-tree path.
EXPECTED_FILES = {
    "scriptfonts.dll": "dll",
    "scriptfonts-run.exe": "exe",
    "arm64/scriptfonts.dll": "arm64-dll",
    "arm64/scriptfonts-run.exe": "arm64-exe",
    "include/scriptfonts.h": "include/scriptfonts.h",
    "README.md": "docs/panel-guide.md",  # the panel authors' guide, not the developers' README
    "CHANGELOG.md": "CHANGELOG.md",
    "LICENSE": "LICENSE",
    "samples/activate-fonts.jsx": "samples/activate-fonts.jsx",
    "samples/fonts/lantern.ttf": "samples/fonts/lantern.ttf",
    "samples/fonts/harbor.ttf": "samples/fonts/harbor.ttf",
    "SHA256SUMS": "sums",  # made when packaging
}
BINARIES = {"dll": "x64", "exe": "x64", "arm64-dll": "ARM64", "arm64-exe": "ARM64"}  # and their machines
ARM64_CONFIGURATION_FOLDERS = ("", "Release", "MinSizeRel")
SUMS = "SHA256SUMS"
SKIPPED = 77  # ctest's SKIP_RETURN_CODE for this test

# [text](target) and [text]: target; the target up to white space or ")".
MARKDOWN_LINK = re.compile(r"\]\(\s*<?([^)\s>]+)>?[^)]*\)|^\s*\[[^\]]+\]:\s*<?(\S+?)>?\s*$", re.MULTILINE)
EXTERNAL = re.compile(r"^[a-zA-Z][a-zA-Z0-9+.-]*:")  # https:, mailto: ...


def read(path):
    with open(path, "rb") as file:
        return file.read()


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def as_linked(image):
    """The image without what Authenticode signing changes: the certificate table
    appended (padded) and pointed at by data directory 4, and the checksum."""
    optional = struct.unpack_from("<I", image, 0x3C)[0] + 24
    checksum, certificates = optional + 64, optional + 112 + 8 * 4
    image = bytearray(image[:struct.unpack_from("<I", image, certificates)[0] or len(image)])
    image[checksum:checksum + 4], image[certificates:certificates + 8] = bytes(4), bytes(8)
    return bytes(image).rstrip(b"\0")


def checksum_problems(files, archive):
    """files: path inside the package -> its bytes; sha256sum's format inside and beside."""
    inside = "".join(f"{sha256(data)}  {name}\n" for name, data in sorted(files.items()) if name != SUMS)
    beside = os.path.join(os.path.dirname(os.path.abspath(archive)), SUMS)
    expected = {SUMS: (inside, files.get(SUMS, b"")),
                beside: (f"{sha256(read(archive))}  {os.path.basename(archive)}\n",
                         read(beside) if os.path.isfile(beside) else b"(no file)")}
    return [f"{name} holds {found.decode('utf-8', 'replace')!r}, expected {text!r}"
            for name, (text, found) in expected.items() if found.decode("utf-8", "replace") != text]


def stamp(seconds):
    return datetime.datetime.fromtimestamp(seconds).isoformat(sep=" ", timespec="seconds")


def parent_directories(path):
    parents = []
    while "/" in path:
        path = path.rsplit("/", 1)[0]
        parents.append(path + "/")
    return parents


def contents_problems(names, top):
    problems = []
    outside = [name for name in names if not name.startswith(top + "/")]
    if outside:
        problems.append(f"entries outside {top}/: {outside}")
    inside = {name[len(top) + 1:] for name in names if name.startswith(top + "/")}
    files = {name for name in inside if name and not name.endswith("/")}
    directories = {name for name in inside if name.endswith("/")}
    if files != set(EXPECTED_FILES):
        missing = sorted(set(EXPECTED_FILES) - files)
        extra = sorted(files - set(EXPECTED_FILES))
        problems.append(f"files {sorted(files)}; missing {missing}; not to be shipped {extra}")
    expected_directories = {parent for name in EXPECTED_FILES for parent in parent_directories(name)}
    stray = sorted(directories - expected_directories)
    if stray:
        problems.append(f"directories that hold no shipped file: {stray}")
    if len(names) != len(set(names)):
        problems.append(f"duplicate entries in {sorted(names)}")
    return problems


def heading_anchors(markdown):
    """The anchors GitHub and most viewers give the headings of a markdown text."""
    anchors = set()
    in_code = False
    for line in markdown.splitlines():
        if line.startswith("```"):
            in_code = not in_code
        elif not in_code and line.startswith("#"):
            title = line.lstrip("#").strip().lower()
            anchors.add(re.sub(r"[^\w\- ]", "", title).replace(" ", "-"))
    return anchors


def markdown_links(markdown):
    """Link targets outside code blocks and code spans."""
    prose = re.sub(r"```.*?```", "", markdown, flags=re.DOTALL)
    prose = re.sub(r"`[^`\n]*`", "", prose)
    return [first or second for first, second in MARKDOWN_LINK.findall(prose)]


def dead_link_problems(texts):
    """texts: path inside the package -> its text, for every shipped markdown file."""
    problems = []
    for name, markdown in texts.items():
        for target in markdown_links(markdown):
            if EXTERNAL.match(target):
                continue
            path, _, anchor = target.partition("#")
            linked = posixpath.normpath(posixpath.join(posixpath.dirname(name), path)) if path else name
            if linked not in EXPECTED_FILES and not any(f.startswith(linked + "/") for f in EXPECTED_FILES):
                problems.append(f"{name} links to {target}, which the package does not hold")
            elif anchor and linked in texts and anchor not in heading_anchors(texts[linked]):
                problems.append(f"{name} links to {target}, but {linked} has no heading #{anchor}")
    return problems


def shipped_image_problems(name, data, machine):
    # The byte comparison shows it is the build's; this shows the build's is fit to ship, where it ships.
    with tempfile.TemporaryDirectory() as directory:
        path = os.path.join(directory, posixpath.basename(name))
        with open(path, "wb") as file:
            file.write(data)
        try:
            image = Image(path)
            wrong_machine = [f"an {image.machine.name} image, expected {machine}"] if image.machine.name != machine else []
            return [f"{name}: {problem}" for problem in wrong_machine + no_debug_information_shipped(image)]
        except ImageError as error:
            return [f"{name}: {error}"]


def arm64_program(tree, name):
    found = [os.path.join(tree, folder, name) for folder in ARM64_CONFIGURATION_FOLDERS]
    return next((path for path in found if os.path.isfile(path)), found[0])


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--archive", required=True)
    parser.add_argument("--dll", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--arm64-dir", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--require", action="store_true", help="fail, not skip, when there is no archive")
    args = parser.parse_args()
    required = args.require or os.environ.get("SCRIPTFONTS_REQUIRE_PACKAGE") == "1"
    rebuild = f"make it with: cmake --build {os.path.dirname(os.path.abspath(args.archive))} --target package"

    if not os.path.isfile(args.archive):
        if not required:
            print(f"skipped: no package at {args.archive}; {rebuild}")
            return SKIPPED
        print(f"FAIL no package at {args.archive}; {rebuild}")
        return 1
    built = {"dll": args.dll, "exe": args.exe, "arm64-dll": arm64_program(args.arm64_dir, "scriptfonts.dll"),
             "arm64-exe": arm64_program(args.arm64_dir, "scriptfonts-run.exe")}
    missing = [path for path in built.values() if not os.path.isfile(path)]
    if missing:
        print(f"FAIL not built: {', '.join(missing)}; {rebuild}")
        return 1
    archive_time = os.path.getmtime(args.archive)
    stale = [f"{path} (built {stamp(os.path.getmtime(path))}, archived {stamp(archive_time)})"
             for path in built.values() if os.path.getmtime(path) > archive_time]
    if stale:
        print(f"FAIL {args.archive} is older than {', '.join(stale)}: stale; {rebuild}")
        return 1

    top = os.path.basename(args.archive)
    top = top[:-len(".zip")] if top.endswith(".zip") else top
    problems = []
    with zipfile.ZipFile(args.archive) as archive:
        names = archive.namelist()
        print(f"{args.archive}:")
        for name in names:
            print(f"  {name}")
        corrupt = archive.testzip()
        if corrupt:
            problems.append(f"{corrupt}: CRC mismatch")
        problems += contents_problems(names, top)
        files = {name: archive.read(f"{top}/{name}") for name in EXPECTED_FILES if f"{top}/{name}" in names}
        markdown = {name: data.decode("utf-8") for name, data in files.items() if name.endswith(".md")}
        problems += dead_link_problems(markdown)
        problems += checksum_problems(files, args.archive)
        for name, origin in EXPECTED_FILES.items():
            if name not in files or origin == "sums":
                continue  # reported above
            data = files[name]
            source = built[origin] if origin in BINARIES else os.path.join(args.source_dir, origin)
            expected = read(source)
            if (as_linked(data) != as_linked(expected)) if origin in BINARIES else (data != expected):
                problems.append(f"{name} in the archive ({len(data)} bytes) differs from {source} "
                                f"({len(expected)} bytes): stale; {rebuild}")
            elif origin in BINARIES:
                problems += shipped_image_problems(name, data, BINARIES[origin])

    for problem in problems:
        print(f"FAIL {problem}")
    if not problems:
        print(f"ok   {len(EXPECTED_FILES)} files, the DLL and scriptfonts-run.exe of each machine as just built, "
              f"no dead link in {len(markdown)} markdown files")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
