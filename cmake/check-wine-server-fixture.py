#!/usr/bin/python3
"""Fails unless the tests of the build tree that are set up for the Wine
server fixture are exactly those whose command names the emulator anywhere:
as the program, or among a script's arguments (the fixture's own, named
FIXTURE.*, aside). Set up: they require the fixture and run in the prefix its
start uses. A test under the emulator without that still passes, but starts a
server of its own (seconds each), may run beside the stop, or shares another
tree's prefix; one set up that runs nothing under it waits for a start in vain.

Run by ctest in the build root (cmake/WineServer.cmake), with the
configuration a multi-config tree lists its tests for (empty otherwise):
  check-wine-server-fixture.py CTEST CONFIG EMULATOR FIXTURE
"""
import json
import os
import subprocess
import sys

ctest, config, emulator, fixture = sys.argv[1:]
listing = subprocess.run([ctest, "--show-only=json-v1"] + (["-C", config] if config else []),
                         capture_output=True, text=True, check=True).stdout
tests = json.loads(listing)["tests"]

# As given, and as CMake writes it before a program (without "dir/..").
normal_emulator = os.path.normpath(emulator)
emulators = {emulator, normal_emulator}


def properties(test):
    return {p["name"]: p["value"] for p in test.get("properties", [])}


def prefix(test):
    return [v for v in properties(test).get("ENVIRONMENT", []) if v.startswith("SCRIPTFONTS_WINEPREFIX=")]


start_prefix = prefix(next(t for t in tests if t["name"] == f"{fixture}.start")) or ["no prefix"]
own = [t for t in tests if not t["name"].startswith(f"{fixture}.")]
emulated = {t["name"] for t in own if any(e in part for part in t.get("command", []) for e in emulators)}
set_up = {t["name"] for t in own
          if fixture in properties(t).get("FIXTURES_REQUIRED", []) and prefix(t) == start_prefix}

problems = [(emulated - set_up, "run under the emulator without the fixture or its prefix"),
            (set_up - emulated, "are set up for the fixture without running under the emulator")]
for names, what in problems:
    if names:
        print(f"{len(names)} tests {what} (see cmake/WineServer.cmake):\n  " + "\n  ".join(sorted(names)))
if not emulated or any(names for names, _ in problems):
    print(f"FAIL: {len(emulated)} tests run under {normal_emulator}, {len(set_up)} are set up for the {fixture} fixture")
    sys.exit(1)
print(f"{len(emulated)} tests run under {normal_emulator}, each with the {fixture} fixture and {start_prefix[0]}")
