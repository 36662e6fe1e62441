#!/usr/bin/python3
"""Inspects the built scriptfonts.dll, or scriptfonts-run.exe, natively: every
field read from the file itself, so that the checks hold for an x64 and an
ARM64 image alike and need no binutils.

The DLL is loaded into a third-party host, so what its PE image promises
matters as much as what its code does: the machine, the same as the rest of
its build; the exact export list the engine resolves; imports from Windows
system DLLs only, the C runtime the machine's toolchain links, and nothing
for the canary; the version resource; the loader's exploit mitigations and the
ASLR they rely on; no memory both writable and executable; every target
compiled with canaries; and, in what ships, no debug information.
scriptfonts-run.exe is what users run beside it, so the checks that are not
about being the engine's DLL apply to it as well.

What the canaries do is shown by running them, not read from machine code:
scriptfonts-run.smashed-stack ends a process through an overflowed canary
with the stack-cookie status (0xC0000409), and lifecycle_test's StackGuard
finds the DLL's guard and the test program's seeded anew in each process.

Usage: pe_image_test.py [--config CONFIG] [--beside IMAGE]
                        [--objects TARGET=OBJ;OBJ...]... IMAGE

A Release or MinSizeRel build is what ships: --config naming one of them adds
the checks for a shipped image. --beside names another image of the same
build, which must be for the same machine.

Each check is a function registered with @check that takes the Image and
returns a list of problems (empty when it passes, None when it was given
nothing to inspect); add more the same way,
with @check(dll_only=True) for what only the engine's DLL must satisfy and
@check(shipped_only=True) for what only a shipped image must.
Exit status 0 when every check passes, 1 otherwise, 2 when a file cannot be read.
"""
import argparse
import collections
import functools
import os
import struct
import sys

EXPECTED_EXPORTS = {
    "ESInitialize", "ESGetVersion", "ESFreeMem", "ESTerminate",
    "registerFont", "registerFontA", "unRegisterFont", "registerFonts", "findFontByName",
}

# What differs between the two machines the images are built for: the oldest
# Windows that runs them (its version goes into the header; older systems
# lack what they import) and the C runtime their toolchain links. Names of
# DLLs are in lower case; the loader matches them without regard to case.
Machine = collections.namedtuple("Machine", "name oldest_windows c_runtime c_runtime_prefixes")
MACHINES = {
    0x8664: Machine("x64", (6, 0), {"msvcrt.dll"}, ()),  # Vista: MinGW-w64 GCC's msvcrt
    # The first Windows on ARM64, whose Universal C runtime Zig's toolchain links.
    0xAA64: Machine("ARM64", (10, 0), {"ucrtbase.dll"}, ("api-ms-win-crt-",)),
}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll"}

EXPECTED_VERSION = (1, 0, 0, 2)
VFT_DLL = 0x2
VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD
VS_VERSION_INFO_KEY = "VS_VERSION_INFO\0".encode("utf-16-le")

REQUIRED_DLL_CHARACTERISTICS = {
    "HIGH_ENTROPY_VA": 0x0020,
    "DYNAMIC_BASE": 0x0040,
    "NX_COMPAT": 0x0100,
}

# PE/COFF header fields and flags.
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_FILE_DLL = 0x2000
PE32_PLUS_MAGIC = 0x20B
IMAGE_SCN_MEM_EXECUTE = 0x20000000
IMAGE_SCN_MEM_WRITE = 0x80000000
DIRECTORY_EXPORT = 0
DIRECTORY_IMPORT = 1
DIRECTORY_RESOURCE = 2
DIRECTORY_BASE_RELOCATION = 5
DIRECTORY_DEBUG = 6
DEBUG_ENTRY = struct.Struct("<IIHHIIII")  # IMAGE_DEBUG_DIRECTORY
IMPORT_DESCRIPTOR_SIZE = 20
COFF_HEADER_SIZE = 20
COFF_SYMBOL_SIZE = 18
SECTION_HEADER_SIZE = 40

SHIPPED_CONFIGS = {"Release", "MinSizeRel"}

# GCC and binutils name their debug sections so; "-s" at the link removes
# them together with the COFF symbol table.
DEBUG_SECTION_PREFIXES = (".debug", ".zdebug", ".stab")

# What an object compiled with canaries refers to: the guard it reads and the
# routine it calls when the guard was overwritten.
CANARY_SYMBOLS = {"__stack_chk_guard", "__stack_chk_fail"}
# What libssp's canary seeding imported (the crypto API, which loads its
# providers under the loader lock); nothing else of either image needs them.
CANARY_SEEDING_DLLS = {"advapi32.dll", "bcrypt.dll", "crypt32.dll"}

Section = collections.namedtuple("Section", "name virtual_address virtual_size raw_offset raw_size characteristics")


class ImageError(Exception):
    """A file that cannot be read as what it should be."""


def read_file(path):
    try:
        with open(path, "rb") as file:
            return file.read()
    except OSError as error:
        raise ImageError(f"cannot read {path}: {error}") from error


def c_string(data, start):
    end = data.find(b"\0", start)
    if end < 0:
        raise ImageError(f"no terminator after the text at file offset {start:#x}")
    return data[start:end].decode("latin-1")


def coff_symbol_names(data, table, count):
    """The names of a COFF symbol table's symbols; the string table follows it."""
    strings = table + COFF_SYMBOL_SIZE * count
    names = set()
    index = 0
    while index < count:
        entry = table + COFF_SYMBOL_SIZE * index
        short_name, long_name = struct.unpack_from("<II", data, entry)
        names.add(c_string(data, strings + long_name) if short_name == 0
                  else data[entry:entry + 8].rstrip(b"\0").decode("latin-1"))
        index += 1 + data[entry + 17]  # the auxiliary records that follow
    return names


def object_symbols(path):
    """The symbol names of one COFF object file (a compiled source or resource script)."""
    data = read_file(path)
    try:
        machine, _sections, _timestamp, table, count = struct.unpack_from("<HHIII", data, 0)
        if machine not in MACHINES:
            raise ImageError(f"{path}: machine {machine:#x}, not a COFF object for {machine_names()}")
        return coff_symbol_names(data, table, count)
    except (struct.error, IndexError) as error:
        raise ImageError(f"{path}: COFF symbol table not understood: {error}") from error


def machine_names():
    return " or ".join(f"{machine.name} ({number:#x})" for number, machine in MACHINES.items())


def flag_names(characteristics):
    names = [name for name, bit in (("WRITE", IMAGE_SCN_MEM_WRITE), ("EXECUTE", IMAGE_SCN_MEM_EXECUTE))
             if characteristics & bit]
    return f"{characteristics:#010x} ({'|'.join(names) or 'neither'})"


def read_headers(data):
    """The COFF header, the PE32+ optional header's fields used here and the section table."""
    try:
        if data[:2] != b"MZ":
            raise ImageError("no MZ signature: not a PE image")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ImageError(f"no PE signature at {pe:#x}")
        (machine, section_count, time_stamp, symbol_table, symbol_count,
         optional_size, characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        if machine not in MACHINES:
            raise ImageError(f"machine {machine:#x}, expected {machine_names()}")
        optional = pe + 4 + COFF_HEADER_SIZE
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic != PE32_PLUS_MAGIC:
            raise ImageError(f"optional header magic {magic:#x}, expected PE32+ ({PE32_PLUS_MAGIC:#x})")
        subsystem_version = struct.unpack_from("<HH", data, optional + 48)
        dll_characteristics = struct.unpack_from("<H", data, optional + 70)[0]
        directory_count = struct.unpack_from("<I", data, optional + 108)[0]
        directories = [struct.unpack_from("<II", data, optional + 112 + 8 * index)
                       for index in range(directory_count)]
        strings = symbol_table + COFF_SYMBOL_SIZE * symbol_count
        sections = []
        for index in range(section_count):
            (raw_name, virtual_size, virtual_address, raw_size, raw_offset,
             _relocations, _line_numbers, _relocation_count, _line_number_count,
             section_flags) = struct.unpack_from("<8sIIIIIIHHI", data,
                                                 optional + optional_size + SECTION_HEADER_SIZE * index)
            name = raw_name.rstrip(b"\0").decode("latin-1")
            # Names longer than 8 bytes ("/4" and so on) live in the COFF string table.
            if name.startswith("/") and name[1:].isdigit() and symbol_table:
                name = c_string(data, strings + int(name[1:]))
            sections.append(Section(name, virtual_address, virtual_size, raw_offset, raw_size, section_flags))
    except struct.error as error:
        raise ImageError(f"PE headers not understood: {error}") from error
    return {
        "machine": MACHINES[machine],
        "characteristics": characteristics,
        "time_stamp": time_stamp,
        "symbol_table": symbol_table,
        "symbol_count": symbol_count,
        "subsystem_version": subsystem_version,
        "dll_characteristics": dll_characteristics,
        "directories": directories,
        "sections": sections,
    }


class Image:
    """One PE32+ image of either machine, each part read from the file once."""

    def __init__(self, path, object_groups=None, beside=None):
        self.path = path
        self.object_groups = object_groups or {}  # target name -> the object files linked in
        self.beside = beside  # another Image of the same build

    @functools.cached_property
    def data(self):
        return read_file(self.path)

    @functools.cached_property
    def headers(self):
        data = self.data  # its errors name the file already
        try:
            return read_headers(data)
        except ImageError as error:
            raise ImageError(f"{self.path}: {error}") from error

    @property
    def machine(self):
        return self.headers["machine"]

    REPRO = 16  # IMAGE_DEBUG_TYPE_REPRO: the image's stamps are a hash of it (lld's /Brepro), not a time

    @property
    def time_stamp(self):
        return self.headers["time_stamp"]

    @property
    def debug_entries(self):
        """(type, time stamp) of each debug directory entry."""
        rva, size = self.directory(DIRECTORY_DEBUG)
        start = self.file_offset(rva, size) if size else 0
        return [(entry[4], entry[1]) for entry in DEBUG_ENTRY.iter_unpack(self.data[start:start + size])]

    @property
    def is_dll(self):
        return bool(self.headers["characteristics"] & IMAGE_FILE_DLL)

    def directory(self, index):
        directories = self.headers["directories"]
        return directories[index] if index < len(directories) else (0, 0)

    def file_offset(self, rva, size=1):
        for section in self.headers["sections"]:
            if section.virtual_address <= rva and rva + size <= section.virtual_address + section.raw_size:
                return section.raw_offset + rva - section.virtual_address
        raise ImageError(f"RVA {rva:#x} (+{size}) lies in no section's file data")

    def bytes_at(self, rva, size):
        start = self.file_offset(rva, size)
        return self.data[start:start + size]

    def unpack_at(self, layout, rva):
        return struct.unpack(layout, self.bytes_at(rva, struct.calcsize(layout)))

    def string_at(self, rva):
        return c_string(self.data, self.file_offset(rva))

    @functools.cached_property
    def exports(self):
        rva, size = self.directory(DIRECTORY_EXPORT)
        if not size:
            return []
        # The export directory: ..., the number of names at 24, their table of RVAs at 32.
        name_count, = self.unpack_at("<I", rva + 24)
        names, = self.unpack_at("<I", rva + 32)
        return [self.string_at(self.unpack_at("<I", names + 4 * index)[0]) for index in range(name_count)]

    @functools.cached_property
    def imported_dlls(self):
        rva, size = self.directory(DIRECTORY_IMPORT)
        if not size:
            return []
        found = []
        # One descriptor per DLL (its name's RVA at 12), up to one of zeros.
        while (name := self.unpack_at("<5I", rva)[3]) != 0:
            found.append(self.string_at(name))
            rva += IMPORT_DESCRIPTOR_SIZE
        return found


CHECKS = []  # (function, dll_only, shipped_only)
NOTES = []  # what a passing check found, printed under its result


def check(function=None, *, dll_only=False, shipped_only=False):
    """Registers a check: every image's, only the DLL's, or only a shipped image's."""
    def register(inspection):
        CHECKS.append((inspection, dll_only, shipped_only))
        return inspection
    return register(function) if function else register


def version_text(ms, ls):
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


@check
def same_machine_as_the_rest_of_its_build(image):
    machine = image.machine.name
    if image.beside is None:
        NOTES.append(machine)
    elif image.beside.machine != image.machine:
        return [f"{machine}, but {image.beside.path} of the same build is {image.beside.machine.name}"]
    else:
        NOTES.append(f"{machine}, as {image.beside.path}")
    return []


@check(dll_only=True)
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
def imports_only_windows_system_dlls(image):
    found = image.imported_dlls
    if not found:
        return ["no imports found at all: the import directory not understood"]
    machine = image.machine
    allowed = SYSTEM_DLLS | machine.c_runtime
    foreign = [name for name in found
               if name.lower() not in allowed and not name.lower().startswith(machine.c_runtime_prefixes)]
    return [f"imports {found}; not Windows system DLLs or the C runtime of {machine.name}: {foreign}"
            ] if foreign else []


@check(dll_only=True)
def version_resource_is_1_0_0_2_dll(dll):
    rva, size = dll.directory(DIRECTORY_RESOURCE)
    resources = dll.bytes_at(rva, size) if size else b""
    key = resources.find(VS_VERSION_INFO_KEY)
    if key < 0:
        return [f"no VS_VERSION_INFO in the resources ({len(resources)} bytes)"]
    # The fixed part follows the key, aligned to 4 bytes.
    fixed = (key + len(VS_VERSION_INFO_KEY) + 3) & ~3
    fields = struct.unpack_from("<13I", resources, fixed)
    (signature, _struct_version, file_ms, file_ls, product_ms, product_ls,
     _flags_mask, _flags, _os, file_type, _subtype, _date_ms, _date_ls) = fields
    if signature != VS_FIXEDFILEINFO_SIGNATURE:
        return [f"VS_FIXEDFILEINFO signature {signature:#010x} at resources+{fixed:#x}, "
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
def loader_mitigations_on(image):
    value = image.headers["dll_characteristics"]
    missing = [name for name, bit in REQUIRED_DLL_CHARACTERISTICS.items() if not value & bit]
    return [f"DllCharacteristics {value:#06x} lacks {', '.join(missing)}"] if missing else []


@check
def header_names_the_oldest_windows_that_loads_it(image):
    # The panel guide names the same systems.
    version = image.headers["subsystem_version"]
    expected = image.machine.oldest_windows
    return [] if version == expected else [
        f"subsystem version {version}, expected {expected} for {image.machine.name}"]


@check
def relocatable_so_aslr_takes_effect(image):
    # DYNAMIC_BASE is only a request: without base relocations the loader
    # cannot move the image (older binutils dropped them from executables).
    problems = []
    if image.headers["characteristics"] & IMAGE_FILE_RELOCS_STRIPPED:
        problems.append(f"COFF characteristics {image.headers['characteristics']:#06x} say relocations stripped")
    rva, size = image.directory(DIRECTORY_BASE_RELOCATION)
    if size == 0:
        problems.append(f"base relocation directory is empty (RVA {rva:#x}, size 0)")
    return problems


@check
def no_section_both_writable_and_executable(image):
    sections = image.headers["sections"]
    executable = [section.name for section in sections if section.characteristics & IMAGE_SCN_MEM_EXECUTE]
    if not executable:
        return [f"no executable section among {[section.name for section in sections]}: section table not understood"]
    both = IMAGE_SCN_MEM_WRITE | IMAGE_SCN_MEM_EXECUTE
    return [f"section {section.name} is writable and executable: {flag_names(section.characteristics)}"
            for section in sections if section.characteristics & both == both]


@check
def imports_nothing_for_the_canary(image):
    found = [dll for dll in image.imported_dlls if dll.lower() in CANARY_SEEDING_DLLS]
    return [f"imports {', '.join(found)}: the canary is seeded without the crypto API, and nothing else needs it"
            ] if found else []


@check
def stack_protector_compiled_into_every_target(image):
    # The image alone cannot tell which objects carry canaries. Options are set
    # per target, so a target left without them shows as none of its objects
    # referring to the canary; single objects with no function that needs one
    # (no local array, no address-taken local) rightly refer to nothing.
    if not image.object_groups:
        return None
    problems = []
    for target, objects in image.object_groups.items():
        guarded = [path for path in objects if object_symbols(path) & CANARY_SYMBOLS]
        if not guarded:
            problems.append(f"no object of {target} checks a stack canary: "
                            f"{[os.path.basename(path) for path in objects]}")
        else:
            NOTES.append(f"{target}: {len(guarded)} of {len(objects)} objects check canaries")
    return problems


@check(shipped_only=True)
def no_debug_information_shipped(image):
    problems = [f"debug section {section.name} ({section.raw_size} bytes)"
                for section in image.headers["sections"] if section.name.startswith(DEBUG_SECTION_PREFIXES)]
    if image.headers["symbol_table"] or image.headers["symbol_count"]:
        problems.append(f"COFF symbol table of {image.headers['symbol_count']} symbols "
                        f"at {image.headers['symbol_table']:#x}")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--config", default="", help="the build configuration the image comes from")
    parser.add_argument("--beside", help="another image of the same build, for the same machine")
    parser.add_argument("--objects", action="append", default=[], metavar="TARGET=OBJ;OBJ...",
                        help="the object files of one target linked into the image (repeatable)")
    parser.add_argument("image")
    args = parser.parse_args()
    shipped = args.config in SHIPPED_CONFIGS
    object_groups = {}
    for group in args.objects:
        target, _, objects = group.partition("=")
        object_groups[target] = [path for path in objects.split(";") if path]

    image = Image(args.image, object_groups, Image(args.beside) if args.beside else None)
    try:
        kind = "DLL" if image.is_dll else "executable"
    except ImageError as error:
        print(f"ERROR {error}")
        return 2
    checks = [inspection for inspection, dll_only, shipped_only in CHECKS
              if (image.is_dll or not dll_only) and (shipped or not shipped_only)]
    failed = skipped = 0
    for inspection in checks:
        try:
            problems = inspection(image)
        except ImageError as error:
            print(f"ERROR {inspection.__name__}: {error}")
            return 2
        if problems is None:
            print(f"skip {inspection.__name__} (nothing to inspect given)")
            skipped += 1
            continue
        print(f"{'FAIL' if problems else 'ok  '} {inspection.__name__}")
        for line in problems + NOTES:
            print(f"       {line}")
        NOTES.clear()
        failed += bool(problems)
    ran = len(checks) - skipped
    print(f"{ran - failed} of {ran} checks passed for {args.image} ({kind}{', as shipped' if shipped else ''}"
          f"{f', {skipped} skipped' if skipped else ''})")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
