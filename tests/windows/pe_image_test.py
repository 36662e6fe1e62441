#!/usr/bin/python3
"""Inspects the built scriptfonts.dll, or scriptfonts-run.exe, natively: the
PE headers read directly and with the cross binutils.

The DLL is loaded into a third-party host, so what its PE image promises
matters as much as what its code does: the exact export list the engine
resolves, imports from Windows system DLLs only, the version resource, the
loader's exploit mitigations and the ASLR they rely on, no memory both
writable and executable, stack canaries with their guard seeded at entry and
nothing imported for it, and, in what ships, no debug information.
scriptfonts-run.exe is what users run beside it, so the checks that are not
about being the engine's DLL apply to it as well.

Usage: pe_image_test.py --objdump OBJDUMP --objcopy OBJCOPY [--config CONFIG]
                              [--objects TARGET=OBJ;OBJ...]... IMAGE

A Release or MinSizeRel build is what ships: --config naming one of them adds
the checks for a shipped image.

Each check is a function registered with @check that takes the Image and
returns a list of problems (empty when it passes, None when it was given
nothing to inspect); add more the same way,
with @check(dll_only=True) for what only the engine's DLL must satisfy and
@check(shipped_only=True) for what only a shipped image must.
Exit status 0 when every check passes, 1 otherwise, 2 when the tools fail.
"""
import argparse
import bisect
import collections
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

# PE/COFF header fields and flags.
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_FILE_DLL = 0x2000
PE32_PLUS_MAGIC = 0x20B
IMAGE_SCN_MEM_EXECUTE = 0x20000000
IMAGE_SCN_MEM_WRITE = 0x80000000
DIRECTORY_EXCEPTION = 3  # .pdata: the x64 function table
DIRECTORY_BASE_RELOCATION = 5
COFF_SYMBOL_SIZE = 18
SECTION_HEADER_SIZE = 40
RUNTIME_FUNCTION_SIZE = 12

SHIPPED_CONFIGS = {"Release", "MinSizeRel"}

# GCC and binutils name their debug sections so; "-s" at the link removes
# them together with the COFF symbol table.
DEBUG_SECTION_PREFIXES = (".debug", ".zdebug", ".stab")

# The canary's failure routine ends the process with __fastfail (int 0x29),
# passing FAST_FAIL_STACK_COOKIE_CHECK_FAILURE in ecx. The image is stripped,
# so it is found by what it does rather than by its name, __stack_chk_fail.
FAST_FAIL = re.compile(r"int\s+0x29$")
STACK_COOKIE_REASON = re.compile(r"mov\s+ecx,0x2$")
# What libssp's canary seeding imported (the crypto API, which loads its
# providers under the loader lock); nothing else of either image needs them.
CANARY_SEEDING_DLLS = {"advapi32.dll", "bcrypt.dll", "crypt32.dll"}

Section = collections.namedtuple("Section", "name virtual_address virtual_size raw_offset raw_size characteristics")


class ToolError(Exception):
    pass


def flag_names(characteristics):
    names = [name for name, bit in (("WRITE", IMAGE_SCN_MEM_WRITE), ("EXECUTE", IMAGE_SCN_MEM_EXECUTE))
             if characteristics & bit]
    return f"{characteristics:#010x} ({'|'.join(names) or 'neither'})"


class Image:
    """One PE image: its headers read directly, the rest as the binutils report
    it, each part read once."""

    def __init__(self, path, objdump, objcopy, object_groups=None):
        self.path = path
        self.objdump = objdump
        self.objcopy = objcopy
        self.object_groups = object_groups or {}  # target name -> the object files linked in

    @functools.cached_property
    def data(self):
        with open(self.path, "rb") as image:
            return image.read()

    @functools.cached_property
    def headers(self):
        """The COFF header, the PE32+ optional header's fields used here and the section table."""
        data = self.data
        try:
            if data[:2] != b"MZ":
                raise ToolError("no MZ signature: not a PE image")
            pe = struct.unpack_from("<I", data, 0x3C)[0]
            if data[pe:pe + 4] != b"PE\0\0":
                raise ToolError(f"no PE signature at {pe:#x}")
            (_machine, section_count, _timestamp, symbol_table, symbol_count,
             optional_size, characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
            optional = pe + 24
            magic = struct.unpack_from("<H", data, optional)[0]
            if magic != PE32_PLUS_MAGIC:
                raise ToolError(f"optional header magic {magic:#x}, expected PE32+ ({PE32_PLUS_MAGIC:#x})")
            entry_point = struct.unpack_from("<I", data, optional + 16)[0]
            image_base = struct.unpack_from("<Q", data, optional + 24)[0]
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
                    start = strings + int(name[1:])
                    name = data[start:data.index(b"\0", start)].decode("latin-1")
                sections.append(Section(name, virtual_address, virtual_size, raw_offset, raw_size, section_flags))
        except (struct.error, ValueError) as error:
            raise ToolError(f"PE headers not understood: {error}") from error
        return {
            "characteristics": characteristics,
            "symbol_table": symbol_table,
            "symbol_count": symbol_count,
            "entry_point": entry_point,
            "image_base": image_base,
            "directories": directories,
            "sections": sections,
        }

    @property
    def is_dll(self):
        return bool(self.headers["characteristics"] & IMAGE_FILE_DLL)

    def directory(self, index):
        directories = self.headers["directories"]
        return directories[index] if index < len(directories) else (0, 0)

    def bytes_at(self, rva, size):
        for section in self.headers["sections"]:
            if section.virtual_address <= rva and rva + size <= section.virtual_address + section.raw_size:
                start = section.raw_offset + rva - section.virtual_address
                return self.data[start:start + size]
        raise ToolError(f"RVA {rva:#x} (+{size}) lies in no section's file data")

    def pointer_at(self, address):
        """The 64-bit value the image holds at a virtual address, or None outside its file data."""
        try:
            return struct.unpack("<Q", self.bytes_at(address - self.headers["image_base"], 8))[0]
        except ToolError:
            return None

    @functools.cached_property
    def functions(self):
        """Sorted (begin, end) virtual addresses of every function with unwind data."""
        rva, size = self.directory(DIRECTORY_EXCEPTION)
        table = self.bytes_at(rva, size) if size else b""
        base = self.headers["image_base"]
        return sorted((base + begin, base + end)
                      for begin, end, _unwind in struct.iter_unpack("<III", table[:size - size % RUNTIME_FUNCTION_SIZE]))

    def function_at(self, address):
        """The (begin, end) of the function holding address; (address, address) when none is known."""
        index = bisect.bisect_right(self.functions, (address, float("inf"))) - 1
        if index >= 0 and self.functions[index][0] <= address < self.functions[index][1]:
            return self.functions[index]
        return (address, address)

    def instructions_of(self, function):
        """The (address, text) instructions between a function's (begin, end)."""
        begin = bisect.bisect_left(self.instructions, (function[0], ""))
        end = bisect.bisect_left(self.instructions, (function[1], ""))
        return self.instructions[begin:end]

    @functools.cached_property
    def instructions(self):
        """(address, text) of every disassembled instruction of the code sections."""
        listing = self.run_tool(self.objdump, "-d", "--no-show-raw-insn", "-M", "intel", self.path)
        return [(int(address, 16), text.strip())
                for address, text in re.findall(r"^\s*([0-9a-f]+):\s+(\S.*)$", listing, re.MULTILINE)]

    def run_tool(self, *command):
        try:
            completed = subprocess.run(command, capture_output=True, text=True, check=False)
        except OSError as error:
            raise ToolError(f"{command[0]}: {error}") from error
        if completed.returncode != 0:
            raise ToolError(f"{' '.join(command)} failed ({completed.returncode}): {completed.stderr.strip()}")
        return completed.stdout

    @functools.cached_property
    def private_headers(self):
        return self.run_tool(self.objdump, "-p", self.path)

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
            self.run_tool(self.objcopy, "-O", "binary", "--only-section", name, self.path, out)
            with open(out, "rb") as section:
                return section.read()


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
        return ["no imports found at all: objdump output not understood"]
    foreign = [name for name in found
               if name.lower() not in SYSTEM_DLLS and not name.lower().startswith(SYSTEM_DLL_PREFIXES)]
    return [f"imports {found}; not Windows system DLLs: {foreign}"] if foreign else []


@check(dll_only=True)
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
def loader_mitigations_on(image):
    value = image.dll_characteristics
    missing = [name for name, bit in REQUIRED_DLL_CHARACTERISTICS.items() if not value & bit]
    return [f"DllCharacteristics {value:#06x} lacks {', '.join(missing)}"] if missing else []


OLDEST_WINDOWS = (6, 0)  # Vista


@check
def header_names_the_oldest_windows_that_loads_it(image):
    # Older systems lack what the images import; the panel guide says Vista and later.
    found = {field: re.search(rf"^{field}\s+(\d+)", image.private_headers, re.MULTILINE)
             for field in ("MajorSubsystemVersion", "MinorSubsystemVersion")}
    version = tuple(int(match.group(1)) if match else None for match in found.values())
    return [] if version == OLDEST_WINDOWS else [f"subsystem version {version}, expected {OLDEST_WINDOWS}"]


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


DIRECT_CALL = re.compile(r"(?:call|jmp)\s+(?:0x)?([0-9a-f]+)(?:\s+<[^>]*>)?$")


def calls(instructions):
    """(address, target) of each direct call or jump."""
    return [(address, int(match.group(1), 16)) for address, text in instructions if (match := DIRECT_CALL.match(text))]


def callers_of(image, target):
    return {image.function_at(address) for address, called in calls(image.instructions) if called == target}


def referenced(text):
    """The address objdump notes for a rip-relative operand ("# 0x..."), or None."""
    match = re.search(r"\[rip[+-]0x[0-9a-f]+\].*#\s*(?:0x)?([0-9a-f]+)", text)
    return int(match.group(1), 16) if match else None


@functools.lru_cache(maxsize=None)
def canary(image):
    """(the failure routine, its callers, the addresses they all read through a
    pointer: the guard alone), or the problem."""
    enders = {image.function_at(address) for address, text in image.instructions if FAST_FAIL.match(text)}
    # The routine that makes a fast fail for a stack cookie, or hands it that reason.
    routines = {function for function in enders.union(*(callers_of(image, ender[0]) for ender in enders))
                if any(STACK_COOKIE_REASON.match(text) for _, text in image.instructions_of(function))}
    if len(routines) != 1:
        return (f"{len(routines)} functions end the process for a smashed stack cookie with a fast fail "
                f"({', '.join(hex(routine[0]) for routine in sorted(routines))}), expected __stack_chk_fail alone")
    failure = routines.pop()
    callers = callers_of(image, failure[0])
    guards = [{image.pointer_at(address) for _, text in image.instructions_of(caller)
               if (address := referenced(text)) is not None} for caller in callers]
    return failure, callers, set.intersection(*guards) - {None} if guards else set()


@check
def stack_protector_canaries_checked(image):
    # Each function compiled with a canary calls the failure routine when it was overwritten.
    found = canary(image)
    if isinstance(found, str):
        return [found]
    failure, callers, _ = found
    if not callers:
        return [f"the canary failure routine at {failure[0]:#x} is called from no function: no code checks a canary"]
    NOTES.append(f"canary failure routine at {failure[0]:#x}, called from {len(callers)} functions")
    return []


@check
def stack_guard_seeded_at_entry(image):
    # The guard differs per process only when the entry point stores it, before
    # the C runtime's entry starts instrumented code, from what changes (the
    # time stamp counter among the rest).
    found = canary(image)
    if isinstance(found, str):
        return [found]
    guards = found[2]
    if len(guards) != 1:
        return [f"the canary checks share {len(guards)} addresses read through a pointer "
                f"({', '.join(hex(guard) for guard in sorted(guards))}), expected the guard alone"]
    guard = next(iter(guards))
    entry = image.function_at(image.headers["image_base"] + image.headers["entry_point"])
    for target in sorted({called for _, called in calls(image.instructions_of(entry))}):
        body = [text for _, text in image.instructions_of(image.function_at(target))]
        if "rdtsc" in body and any(text.startswith("mov    QWORD PTR [rip") and referenced(text) == guard
                                   for text in body):
            NOTES.append(f"guard at {guard:#x} seeded by {target:#x}, called from the entry point {entry[0]:#x}")
            return []
    return [f"the entry point at {entry[0]:#x} calls nothing that reads the time stamp counter and stores the "
            f"guard at {guard:#x}: every process has the same canary"]


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
        guarded = [path for path in objects
                   if re.search(r"\b__stack_chk_(?:fail|guard)\b", image.run_tool(image.objdump, "-t", path))]
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
    parser.add_argument("--objdump", default="x86_64-w64-mingw32-objdump")
    parser.add_argument("--objcopy", default="x86_64-w64-mingw32-objcopy")
    parser.add_argument("--config", default="", help="the build configuration the image comes from")
    parser.add_argument("--objects", action="append", default=[], metavar="TARGET=OBJ;OBJ...",
                        help="the object files of one target linked into the image (repeatable)")
    parser.add_argument("image")
    args = parser.parse_args()
    shipped = args.config in SHIPPED_CONFIGS
    object_groups = {}
    for group in args.objects:
        target, _, objects = group.partition("=")
        object_groups[target] = [path for path in objects.split(";") if path]
    if not os.path.isfile(args.image):
        print(f"no such file: {args.image}")
        return 2

    image = Image(args.image, args.objdump, args.objcopy, object_groups)
    try:
        kind = "DLL" if image.is_dll else "executable"
    except ToolError as error:
        print(f"ERROR reading {args.image}: {error}")
        return 2
    checks = [inspection for inspection, dll_only, shipped_only in CHECKS
              if (image.is_dll or not dll_only) and (shipped or not shipped_only)]
    failed = skipped = 0
    for inspection in checks:
        try:
            problems = inspection(image)
        except ToolError as error:
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
