#!/usr/bin/python3
"""Inspects the built scriptfonts.dll with the cross binutils, natively.

The DLL is loaded into a third-party host, so what its PE image promises
matters as much as what its code does: the exact export list the engine
resolves, imports from Windows system DLLs only, the version resource, and
the loader's exploit mitigations.

Usage: pe_inspection_test.py --objdump OBJDUMP --objcopy OBJCOPY DLL

Each check is a function registered with @check that takes the Dll and
returns a list of problems (empty when it passes); add more the same way.
Exit status 0 when every check passes, 1 otherwise, 2 when the tools fail.
"""
import argparse
import functools
import os
import re
import struct
import subprocess
import sys
import tempfile

EXPECTED_EXPORTS = {
    "ESInitialize", "ESGetVersion", "ESFreeMem", "ESTerminate",
    "registerFont", "registerFontA", "unRegisterFont", "registerFonts", "findFontByName",
}

# Lower case; the loader matches DLL names without regard to case.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll"}
SYSTEM_DLL_PREFIXES = ("api-ms-win-crt-",)

EXPECTED_VERSION = (1, 0, 0, 2)
VFT_DLL = 0x2
VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD
VS_VERSION_INFO_KEY = "VS_VERSION_INFO\0".encode("utf-16-le")

REQUIRED_DLL_CHARACTERISTICS = {
    "HIGH_ENTROPY_VA": 0x0020,
    "DYNAMIC_BASE": 0x0040,
    "NX_COMPAT": 0x0100,
}


class ToolError(Exception):
    pass


class Dll:
    """What the binutils report about one PE image, each part read once."""

    def __init__(self, path, objdump, objcopy):
        self.path = path
        self.objdump = objdump
        self.objcopy = objcopy

    def _run(self, *command):
        try:
            completed = subprocess.run(command, capture_output=True, text=True, check=False)
        except OSError as error:
            raise ToolError(f"{command[0]}: {error}") from error
        if completed.returncode != 0:
            raise ToolError(f"{' '.join(command)} failed ({completed.returncode}): {completed.stderr.strip()}")
        return completed.stdout

    @functools.cached_property
    def private_headers(self):
        return self._run(self.objdump, "-p", self.path)

    @functools.cached_property
    def exports(self):
        # "[Ordinal/Name Pointer] Table" lists one "[   n] name" line per named export.
        table = self.private_headers.partition("[Ordinal/Name Pointer] Table")[2]
        names = []
        for line in table.splitlines()[1:]:
            match = re.match(r"\s*\[\s*\d+\]\s+(\S+)\s*$", line)
            if not match:
                break
            names.append(match.group(1))
        return names

    @functools.cached_property
    def imported_dlls(self):
        return re.findall(r"^\s*DLL Name:\s*(\S+)\s*$", self.private_headers, re.MULTILINE)

    @functools.cached_property
    def dll_characteristics(self):
        match = re.search(r"^DllCharacteristics\s+([0-9a-fA-F]+)", self.private_headers, re.MULTILINE)
        if not match:
            raise ToolError("objdump -p printed no DllCharacteristics")
        return int(match.group(1), 16)

    def section_bytes(self, name):
        with tempfile.TemporaryDirectory() as directory:
            out = os.path.join(directory, "section.bin")
            self._run(self.objcopy, "-O", "binary", "--only-section", name, self.path, out)
            with open(out, "rb") as section:
                return section.read()


CHECKS = []


def check(function):
    CHECKS.append(function)
    return function


def version_text(ms, ls):
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


@check
def exports_exactly_the_nine_entries(dll):
    found = dll.exports
    problems = []
    if sorted(found) != sorted(EXPECTED_EXPORTS):
        problems.append(f"exports {sorted(found)}")
        missing = EXPECTED_EXPORTS - set(found)
        extra = set(found) - EXPECTED_EXPORTS
        if missing:
            problems.append(f"missing {sorted(missing)}")
        if extra:
            problems.append(f"not ours to export {sorted(extra)}")
    return problems


@check
def imports_only_windows_system_dlls(dll):
    found = dll.imported_dlls
    if not found:
        return ["no imports found at all: objdump output not understood"]
    foreign = [name for name in found
               if name.lower() not in SYSTEM_DLLS and not name.lower().startswith(SYSTEM_DLL_PREFIXES)]
    return [f"imports {found}; not Windows system DLLs: {foreign}"] if foreign else []


@check
def version_resource_is_1_0_0_2_dll(dll):
    resources = dll.section_bytes(".rsrc")
    key = resources.find(VS_VERSION_INFO_KEY)
    if key < 0:
        return [f"no VS_VERSION_INFO in .rsrc ({len(resources)} bytes)"]
    # The fixed part follows the key, aligned to 4 bytes.
    fixed = (key + len(VS_VERSION_INFO_KEY) + 3) & ~3
    fields = struct.unpack_from("<13I", resources, fixed)
    (signature, _struct_version, file_ms, file_ls, product_ms, product_ls,
     _flags_mask, _flags, _os, file_type, _subtype, _date_ms, _date_ls) = fields
    if signature != VS_FIXEDFILEINFO_SIGNATURE:
        return [f"VS_FIXEDFILEINFO signature {signature:#010x} at .rsrc+{fixed:#x}, "
                f"expected {VS_FIXEDFILEINFO_SIGNATURE:#010x}"]
    expected = ".".join(str(part) for part in EXPECTED_VERSION)
    problems = []
    if version_text(file_ms, file_ls) != expected:
        problems.append(f"FILEVERSION {version_text(file_ms, file_ls)}, expected {expected}")
    if version_text(product_ms, product_ls) != expected:
        problems.append(f"PRODUCTVERSION {version_text(product_ms, product_ls)}, expected {expected}")
    if file_type != VFT_DLL:
        problems.append(f"FILETYPE {file_type:#x}, expected VFT_DLL ({VFT_DLL:#x})")
    return problems


@check
def loader_mitigations_on(dll):
    value = dll.dll_characteristics
    missing = [name for name, bit in REQUIRED_DLL_CHARACTERISTICS.items() if not value & bit]
    return [f"DllCharacteristics {value:#06x} lacks {', '.join(missing)}"] if missing else []


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--objdump", default="x86_64-w64-mingw32-objdump")
    parser.add_argument("--objcopy", default="x86_64-w64-mingw32-objcopy")
    parser.add_argument("dll")
    args = parser.parse_args()
    if not os.path.isfile(args.dll):
        print(f"no such file: {args.dll}")
        return 2

    dll = Dll(args.dll, args.objdump, args.objcopy)
    failed = 0
    for inspection in CHECKS:
        try:
            problems = inspection(dll)
        except ToolError as error:
            print(f"ERROR {inspection.__name__}: {error}")
            return 2
        print(f"{'FAIL' if problems else 'ok  '} {inspection.__name__}")
        for problem in problems:
            print(f"       {problem}")
        failed += bool(problems)
    print(f"{len(CHECKS) - failed} of {len(CHECKS)} checks passed for {args.dll}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
