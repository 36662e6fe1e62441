#!/usr/bin/python3
"""Checks the package a panel author ships, as `--target package` made it.

The archive must hold exactly the files below under one top-level directory
named after it, the DLL and scriptfonts-run.exe byte for byte as just built
(both without debug information), and the other files as they are in the
source tree. A missing archive, or one older than the build or holding other
bytes, fails: it is not what would ship from this build.

Usage: package_test.py --archive ZIP --dll DLL --exe EXE --source-dir DIR
Exit status 0 when the package is right, 1 otherwise.
"""
import argparse
import datetime
import os
import posixpath
import sys
import tempfile
import zipfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from pe_image_test import Image, ToolError, no_debug_information_shipped

# Path inside the top-level directory -> where its bytes must come from:
# "dll" and "exe" are the built binaries, anything else a source-tree path.
EXPECTED_FILES = {
    "scriptfonts.dll": "dll",
    "scriptfonts-run.exe": "exe",
    "include/scriptfonts.h": "include/scriptfonts.h",
    "README.md": "README.md",
    "LICENSE": "LICENSE",
    "samples/activate-fonts.jsx": "samples/activate-fonts.jsx",
    "samples/fonts/lantern.ttf": "samples/fonts/lantern.ttf",
    "samples/fonts/harbor.ttf": "samples/fonts/harbor.ttf",
}
BINARIES = ("dll", "exe")


def read(path):
    with open(path, "rb") as file:
        return file.read()


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


def shipped_image_problems(name, data):
    # The byte comparison shows it is the build's; this shows the build's is fit to ship.
    with tempfile.TemporaryDirectory() as directory:
        path = os.path.join(directory, posixpath.basename(name))
        with open(path, "wb") as file:
            file.write(data)
        try:
            return [f"{name}: {problem}" for problem in no_debug_information_shipped(Image(path, None, None))]
        except ToolError as error:
            return [f"{name}: {error}"]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--archive", required=True)
    parser.add_argument("--dll", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--source-dir", required=True)
    args = parser.parse_args()
    rebuild = f"make it with: cmake --build {os.path.dirname(os.path.abspath(args.archive))} --target package"

    if not os.path.isfile(args.archive):
        print(f"FAIL no package at {args.archive}; {rebuild}")
        return 1
    built = {"dll": args.dll, "exe": args.exe}
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
        for name, origin in EXPECTED_FILES.items():
            entry = f"{top}/{name}"
            if entry not in names:
                continue  # reported above
            data = archive.read(entry)
            source = built[origin] if origin in BINARIES else os.path.join(args.source_dir, origin)
            expected = read(source)
            if data != expected:
                problems.append(f"{name} in the archive ({len(data)} bytes) differs from {source} "
                                f"({len(expected)} bytes): stale; {rebuild}")
            elif origin in BINARIES:
                problems += shipped_image_problems(name, data)

    for problem in problems:
        print(f"FAIL {problem}")
    if not problems:
        print(f"ok   {len(EXPECTED_FILES)} files, the DLL and scriptfonts-run.exe as just built")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
