#!/usr/bin/python3
"""Fails unless the tests of the build tree that are set up for the Wine
server fixture are exactly those whose command names the emulator anywhere:
as the program, or among a script's arguments (the fixture's own, named
FIXTURE.*, aside). Set up: they require the fixture and run in the tree's own
prefix (the build root's wine-prefix), where the fixture's start and stop must
run too. A test under the emulator without that still passes, but starts a
server of its own (seconds each), may run beside the stop, or shares another
tree's prefix; one set up that runs nothing under it waits for a start in
vain; a start or stop in another prefix serves or ends another tree's tests.

Run by ctest in the build root (cmake/WineServer.cmake), with the
configuration a multi-config tree lists its tests for (empty otherwise):
  check-wine-server-fixture.py CTEST CONFIG EMULATOR FIXTURE
"""
import copy
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
PREFIX_VARIABLE = "SCRIPTFONTS_WINEPREFIX="
own_prefix = os.path.realpath("wine-prefix")  # the build root's, as physical paths are compared
fixture_tests = [f"{fixture}.start", f"{fixture}.stop"]


def properties(test):
    return {p["name"]: p["value"] for p in test.get("properties", [])}


def prefixes(test):
    return [os.path.realpath(v[len(PREFIX_VARIABLE):]) for v in properties(test).get("ENVIRONMENT", [])
            if v.startswith(PREFIX_VARIABLE)]


def in_own_prefix(test):
    return prefixes(test) == [own_prefix]


def check(tests):
    """The lines saying what is wrong, and how many tests run under the emulator and how many are set up."""
    by_name = {t["name"]: t for t in tests}
    lines = [f"{name} runs in {', '.join(prefixes(by_name[name])) or 'no prefix'}, not {own_prefix}"
             for name in fixture_tests if name in by_name and not in_own_prefix(by_name[name])]
    lines += [f"{name} is missing" for name in fixture_tests if name not in by_name]
    own = [t for t in tests if not t["name"].startswith(f"{fixture}.")]
    emulated = {t["name"] for t in own if any(e in part for part in t.get("command", []) for e in emulators)}
    set_up = {t["name"] for t in own if fixture in properties(t).get("FIXTURES_REQUIRED", []) and in_own_prefix(t)}
    for names, what in [(emulated - set_up, "run under the emulator without the fixture or the tree's prefix"),
                        (set_up - emulated, "are set up for the fixture without running under the emulator")]:
        if names:
            lines.append(f"{len(names)} tests {what} (see cmake/WineServer.cmake):\n  " + "\n  ".join(sorted(names)))
    if not emulated:
        lines.append(f"no test runs under {normal_emulator}")
    return lines, len(emulated), len(set_up)


def planted(tests, name, prefix):
    """The listing with the named test's prefix replaced (or removed, for None)."""
    tests = copy.deepcopy(tests)
    for test in (t for t in tests if t["name"] == name):
        for p in (p for p in test.get("properties", []) if p["name"] == "ENVIRONMENT"):
            p["value"] = [v for v in p["value"] if not v.startswith(PREFIX_VARIABLE)] + ([prefix] if prefix else [])
    return tests


problems, emulated, set_up = check(tests)
for problem in problems:
    print(problem)
# The check checked: the faults that once went unnoticed, planted in this listing, must each be reported.
other_prefix = PREFIX_VARIABLE + os.path.join(os.path.dirname(own_prefix), "..", "another-tree", "wine-prefix")
some_test = min((t["name"] for t in tests if not t["name"].startswith(f"{fixture}.") and in_own_prefix(t)),
                default="-")
plants = [(f"{fixture}.stop without a prefix", planted(tests, f"{fixture}.stop", None)),
          (f"{some_test} in another tree's prefix", planted(tests, some_test, other_prefix))]
unnoticed = [what for what, listing in plants if not check(listing)[0]]
for what in unnoticed:
    print(f"self-check failed: {what} went unnoticed")
if problems or unnoticed:
    print(f"FAIL: {emulated} tests run under {normal_emulator}, {set_up} are set up for the {fixture} fixture")
    sys.exit(1)
print(f"{emulated} tests run under {normal_emulator}, each with the {fixture} fixture and the prefix {own_prefix}, as do its "
      f"start and stop; self-check: {' and '.join(what for what, _ in plants)} are caught")
