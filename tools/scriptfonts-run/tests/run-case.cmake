# Runs scriptfonts-run for one case and checks what it did:
#   cmake -DEMULATOR=... -DPROGRAM=... -DTEST_LIBRARIES=dir -DSAMPLE_FONTS=... -DWORK_DIR=... -DCASE=name
#         -DVERSION=... [-DPYTHON=...] -P run-case.cmake
# TEST_LIBRARIES holds the test script libraries (refusing-library.dll ...);
# WORK_DIR is the case's own scratch directory; VERSION the project's version;
# PYTHON runs foreign-machine.py, for the cases that need an image of another machine.
# Each case sets the command line, the exit status (a pattern: most are a
# number), the exact standard output (or a pattern it must match), and the
# texts the one line of standard error must hold (none: empty), which comes
# from scriptfonts-run unless errorSource says.

# A path as the program sees it: Wine maps drive Z: to the Unix root.
function(program_path out path)
    if(EMULATOR)
        string(REPLACE "/" "\\" path "${path}")
        set(${out} "Z:${path}" PARENT_SCOPE)
    else()
        file(TO_NATIVE_PATH "${path}" path)
        set(${out} "${path}" PARENT_SCOPE)
    endif()
endfunction()

program_path(lantern "${SAMPLE_FONTS}/lantern.ttf")
program_path(harbor "${SAMPLE_FONTS}/harbor.ttf")
foreach(library refusing incomplete mislisting listless)
    program_path(${library}Library "${TEST_LIBRARIES}/${library}-library.dll")
endforeach()
program_path(errorModeLibrary "${TEST_LIBRARIES}/error-mode-library.dll")
program_path(moduleLoadingLibrary "${TEST_LIBRARIES}/module-loading-library.dll")
program_path(missingLibrary "${SAMPLE_FONTS}/no-such-directory/scriptfonts.dll")
if(NOT EMULATOR AND DEFINED ENV{SystemRoot})
    set(systemLibrary "$ENV{SystemRoot}\\System32\\kernel32.dll")
else()
    set(systemLibrary "C:\\windows\\system32\\kernel32.dll")
endif()
get_filename_component(programDirectory "${PROGRAM}" DIRECTORY)
program_path(besideProgramLibrary "${programDirectory}/scriptfonts.dll")
# As scriptfonts-run prints arguments: in quotes, backslashes doubled.
string(REPLACE "\\" "\\\\" lanternQuoted "\"${lantern}\"")
string(REPLACE "\\" "\\\\" harborQuoted "\"${harbor}\"")
string(REPLACE "\\" "\\\\" listQuoted "\"${lantern},${harbor}\"")
# Paths in a pattern: each character that means something there escaped.
foreach(path besideProgramLibrary moduleLoadingLibrary)
    string(REGEX REPLACE "([][+.*?()^$|\\])" "\\\\\\1" ${path}Pattern "${${path}}")
endforeach()
# A process ended by __fastfail for a smashed canary (STATUS_STACK_BUFFER_OVERRUN,
# 0xC0000409): Wine's exit status is the low byte of the code; on Windows CMake
# gives the code itself, as a number or in words.
if(EMULATOR)
    set(overrunStatus 9)
else()
    set(overrunStatus "-1073740791|3221226505|.*[cC]0000409.*|.*[Oo]verrun.*")
endif()
set(lanternFace "Scriptfonts Sample Lantern")
set(harborFace "Scriptfonts Sample Harbor")

# A copy of the refusing library made for another machine: it must not load.
function(foreign_library out machine)
    if(NOT PYTHON)
        message(FATAL_ERROR "case ${CASE} needs Python 3")
    endif()
    file(MAKE_DIRECTORY "${WORK_DIR}")
    execute_process(COMMAND "${PYTHON}" "${CMAKE_CURRENT_LIST_DIR}/foreign-machine.py"
        "${TEST_LIBRARIES}/refusing-library.dll" "${WORK_DIR}/foreign.dll" ${machine} COMMAND_ERROR_IS_FATAL ANY)
    program_path(path "${WORK_DIR}/foreign.dll")
    set(${out} "${path}" PARENT_SCOPE)
endfunction()

# On Windows fonts stay in the session after the process that added them, so
# a case that adds the sample fonts withdraws them before it runs (a killed
# run may have left them), and again when it fails (a passing one ends with
# both gone); more removals than the case ever leaves. A failure here lets the
# case's own be reported too. Under Wine each process has its own fonts.
function(remove_sample_fonts)
    execute_process(COMMAND ${EMULATOR} ${PROGRAM} unRegisterFont "${lantern}" unRegisterFont "${lantern}"
            unRegisterFont "${harbor}" unRegisterFont "${harbor}"
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output ENCODING UTF-8)
    if(NOT status EQUAL 0)
        message(SEND_ERROR "withdrawing the sample fonts failed (exit status ${status}):\n${output}")
    endif()
endfunction()

# What the usage must name: every option, @PATH and @@, and the exit statuses.
string(CONCAT usagePattern "^usage: scriptfonts-run [^\n]*\n"
    ".*--library PATH.*--list.*--version.*--load-report.*--help, -h, /\\?.*@PATH.*@@"
    ".*Exit status: 0.*1.*2 nothing was called")

set(output "")
set(outputPattern "")
set(error "")
set(errorSource scriptfonts-run)
set(emptyArgument OFF)  # a list cannot hold an empty argument: the case gives it literally
set(addsSampleFonts OFF)
if(CASE STREQUAL "list")
    set(arguments --list)
    set(exitStatus 0)
    set(output "registerFont_s, registerFontA_s, unRegisterFont_s, registerFonts_s, findFontByName_s\nversion 4\n")
elseif(CASE STREQUAL "unknown-option")
    set(arguments --list --frobnicate)
    set(exitStatus 2)
    set(error "unknown option --frobnicate")
elseif(CASE STREQUAL "nothing-to-do")
    set(arguments)
    set(exitStatus 2)
    set(error "nothing to do")
elseif(CASE STREQUAL "missing-argument")
    # The complete first pair must not run either.
    set(arguments findFontByName "${lanternFace}" registerFont)
    set(exitStatus 2)
    set(error "missing argument for registerFont")
elseif(CASE STREQUAL "missing-library-path")
    set(arguments --list --library)
    set(exitStatus 2)
    set(error "--library needs a path")
elseif(CASE STREQUAL "missing-library")
    set(arguments --library "${missingLibrary}" --list)
    set(exitStatus 2)
    set(error "cannot load ${missingLibrary}: " "(Windows error 126)")
elseif(CASE STREQUAL "no-library-beside-program")
    # What a user meets who copies the program without the DLL.
    file(REMOVE_RECURSE "${WORK_DIR}")
    file(COPY "${PROGRAM}" DESTINATION "${WORK_DIR}")
    get_filename_component(programName "${PROGRAM}" NAME)
    set(PROGRAM "${WORK_DIR}/${programName}")
    program_path(besideProgram "${WORK_DIR}/scriptfonts.dll")
    set(arguments findFontByName "${lanternFace}")
    set(exitStatus 2)
    set(error "cannot load ${besideProgram}")
elseif(CASE STREQUAL "not-a-library")
    set(arguments --library "${lantern}" --list)
    set(exitStatus 2)
    set(error "cannot load ${lantern}: " "(Windows error 193)" "it is not a PE file")
elseif(CASE STREQUAL "32-bit-library")
    # The same error number as a text file: the headers tell them apart.
    foreign_library(foreign 14c)
    set(arguments --library "${foreign}" --list)
    set(exitStatus 2)
    set(error "cannot load ${foreign}: " "(Windows error 193)" "it is a 32-bit x86 image")
elseif(CASE STREQUAL "arm64-library")
    foreign_library(foreign aa64)
    set(arguments --library "${foreign}" --list)
    set(exitStatus 2)
    set(error "cannot load ${foreign}: " "it is an ARM64 image")
elseif(CASE STREQUAL "empty-library-path")
    # Not the default DLL, quietly.
    set(emptyArgument ON)
    set(exitStatus 2)
    set(error "--library needs a path, not an empty one")
elseif(CASE MATCHES "^help(-short|-slash)?$")
    if(CASE STREQUAL "help")
        set(arguments --help)
    elseif(CASE STREQUAL "help-short")
        set(arguments -h)
    else()
        set(arguments /?)
    endif()
    set(exitStatus 0)
    set(outputPattern "${usagePattern}")
elseif(CASE STREQUAL "version")
    set(arguments --version)
    set(exitStatus 0)
    set(output "scriptfonts-run ${VERSION}\n${besideProgramLibrary}: file version ${VERSION}\n")
elseif(CASE STREQUAL "version-without-resource")
    set(arguments --version --library "${refusingLibrary}")
    set(exitStatus 0)
    set(output "scriptfonts-run ${VERSION}\n${refusingLibrary}: no version resource\n")
elseif(CASE STREQUAL "version-library-missing")
    # The program's own version still shows.
    set(arguments --version --library "${missingLibrary}")
    set(exitStatus 2)
    set(output "scriptfonts-run ${VERSION}\n")
    set(error "cannot load ${missingLibrary}")
elseif(CASE STREQUAL "escaped-arguments")
    # Quotes, backslashes and control characters are escaped: each call stays one line.
    string(ASCII 1 startOfHeading)
    set(arguments findFontByName "q\"\nt\t\\z${startOfHeading}")
    set(exitStatus 0)
    set(output "findFontByName(\"q\\\"\\nt\\t\\\\z\\x01\") -> status 0, result 0\n")
elseif(CASE STREQUAL "argument-file-exact-bytes")
    # Bytes that are not well-formed UTF-8 reach the call unchanged, and each
    # byte of such a sequence (marked x) is printed as \xNN; the well-formed
    # characters between, most at an edge of the ranges, print as themselves.
    set(argument "a")
    set(printed "a")
    foreach(byte
            xff 62 20 c3 a9                        # a byte UTF-8 never uses, then "b é"
            c2 80 xc0 xaf xc1 xbf                  # overlong two-byte forms, after U+0080
            e0 a0 80 xe0 x9f xbf                   # overlong three-byte form, after U+0800
            f0 90 80 80 xf0 x8f xbf xbf            # overlong four-byte form, after U+10000
            ed 9f bf xed xa0 x80                   # a surrogate, after U+D7FF
            f4 8f bf bf xf4 x90 x80 x80            # past U+10FFFF, after it
            ef bf bf xf5 x80 x80 x80               # a lead byte past F4, after U+FFFF
            c3 a9 x80 xbf                          # lone continuation bytes
            e2 82 ac xe2 x82 21 xf0 x9f x98 c3 a9  # cut short by the next character ("!", "é")
            f0 9f 98 80 xf0 x9f x98)               # cut short by the end of the text
        string(REGEX REPLACE "^x" "" hex "${byte}")
        math(EXPR code "0x${hex}")
        string(ASCII ${code} raw)
        string(APPEND argument "${raw}")
        if(byte MATCHES "^x")
            set(raw "\\${byte}")
        endif()
        string(APPEND printed "${raw}")
    endforeach()
    file(WRITE "${WORK_DIR}/argument" "${argument}")
    program_path(argumentFile "${WORK_DIR}/argument")
    set(arguments findFontByName "@${argumentFile}")
    set(exitStatus 0)
    set(output "findFontByName(\"${printed}\") -> status 0, result 0\n")
elseif(CASE STREQUAL "argument-file-long-list")
    # About 100 KB, three times what a command line can carry.
    set(list "")
    set(listPrinted "")
    foreach(i RANGE 1 3000)
        string(APPEND list ",Z:\\no-such-directory\\font-${i}.ttf")
        string(APPEND listPrinted ",Z:\\\\no-such-directory\\\\font-${i}.ttf")
    endforeach()
    string(SUBSTRING "${list}" 1 -1 list)
    string(SUBSTRING "${listPrinted}" 1 -1 listPrinted)
    file(WRITE "${WORK_DIR}/list" "${list}")
    program_path(listFile "${WORK_DIR}/list")
    set(arguments registerFonts "@${listFile}")
    set(exitStatus 0)
    set(output "registerFonts(\"${listPrinted}\") -> status 0, result 1\n")
elseif(CASE STREQUAL "argument-file-literal-at")
    set(arguments findFontByName "@@x")
    set(exitStatus 0)
    set(output "findFontByName(\"@x\") -> status 0, result 0\n")
elseif(CASE STREQUAL "argument-file-missing")
    file(MAKE_DIRECTORY "${WORK_DIR}")
    program_path(argumentFile "${WORK_DIR}/no-such-file")
    set(arguments findFontByName "@${argumentFile}")
    set(exitStatus 2)
    set(error "cannot read ${argumentFile}: " "(Windows error 2)")
elseif(CASE STREQUAL "argument-file-with-nul")
    # The engine's text ends at its first NUL: such a file cannot be passed unchanged.
    set(arguments findFontByName "@${lantern}")
    set(exitStatus 2)
    set(error "${lantern} holds a NUL byte at offset 0")
elseif(CASE STREQUAL "command-line-too-long")
    # Wine would exit 1 without a word; the wrapper refuses and points at @PATH.
    string(REPEAT "a" 40000 longName)
    set(arguments findFontByName "${longName}")
    set(exitStatus 2)
    set(errorSource wine-run)
    set(error "longer than Wine can start" "@PATH")
elseif(CASE STREQUAL "not-a-script-library")
    set(arguments --library "${systemLibrary}" --list)
    set(exitStatus 2)
    set(error "does not export ESInitialize")
elseif(CASE STREQUAL "incomplete-library")
    # Every lifecycle entry is required, not only the first.
    set(arguments --library "${incompleteLibrary}" refuse "a")
    set(exitStatus 2)
    set(error "does not export ESTerminate")
elseif(CASE STREQUAL "no-signature-list")
    set(arguments --library "${listlessLibrary}" --list)
    set(exitStatus 2)
    set(error "ESInitialize returned no signature list")
elseif(CASE STREQUAL "listed-function-not-exported")
    set(arguments --library "${mislistingLibrary}" refuse "a")
    set(exitStatus 2)
    set(error "the signature list names vanished, which ${mislistingLibrary} does not export")
elseif(CASE STREQUAL "unknown-function")
    # Names are exact, and an unknown one stops the run before any call.
    set(arguments findFontByName "${lanternFace}" registerfont "${lantern}")
    set(exitStatus 2)
    set(error "unknown function registerfont")
elseif(CASE STREQUAL "lifecycle-entry-as-function")
    # Exported, but not a script function: called as one it would be handed arguments it does not take.
    set(arguments ESFreeMem "a")
    set(exitStatus 2)
    set(error "unknown function ESFreeMem")
elseif(CASE STREQUAL "not-one-string")
    set(arguments --library "${refusingLibrary}" refuse "a" refusePair "b")
    set(exitStatus 2)
    set(error "refusePair takes \"ss\"; scriptfonts-run passes exactly one string")
elseif(CASE STREQUAL "refused-call")
    # A refused call prints its status only, named as the engine names it, the
    # others still run, and the exit status says so.
    set(arguments --library "${refusingLibrary}" refuse "a" refuse "-28" refuse "8" refuse "7")
    set(exitStatus 1)
    string(CONCAT output "refuse(\"a\") -> status 20 (bad argument list)\n"
        "refuse(\"-28\") -> status -28 (out of memory)\n" "refuse(\"8\") -> status 8 (syntax error)\n"
        "refuse(\"7\") -> status 7 (not one of the engine's codes known here)\n")
elseif(CASE STREQUAL "error-boxes-off")
    # Windows can stop a load on a box that waits for a user (a bad image, a
    # missing dependency); Wine shows none. This library answers ESGetVersion
    # with those of the two flags that were set while it loaded.
    set(arguments --library "${errorModeLibrary}" --list)
    set(exitStatus 0)
    set(output "refuse_s, refusePair_ss\nversion 32769\n")  # SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX
elseif(CASE STREQUAL "load-report")
    # Loading the DLL, its imports loaded first, brings no other module in.
    set(arguments --load-report)
    set(exitStatus 0)
    string(CONCAT outputPattern "^loading ${besideProgramLibraryPattern} \\(its imports loaded first: "
        "[^)]*KERNEL32\\.dll[^)]*\\) loaded no other module\n$")
elseif(CASE STREQUAL "load-report-other-module")
    set(arguments --library "${moduleLoadingLibrary}" --load-report)
    set(exitStatus 1)
    string(CONCAT outputPattern "^loading ${moduleLoadingLibraryPattern} \\(its imports loaded first: [^)]*\\) "
        "also loaded: ([^\n]*, )?version\\.dll \\(unloaded again\\)")
elseif(CASE STREQUAL "smashed-stack")
    # An overflowed local array ends the process by its canary before the
    # function returns (no line for the call).
    program_path(overflowingLibrary "${TEST_LIBRARIES}/${CASE}-library.dll")
    set(arguments --library "${overflowingLibrary}" refuse "far more than the eight bytes it is copied into")
    set(exitStatus "${overrunStatus}")
elseif(CASE STREQUAL "sample-fonts-in-one-process")
    # A face registered by one call is found by the next: all calls share one
    # process. It ends as it began, with neither face installed. Its first five
    # calls are those of samples/activate-fonts.jsx, activating and withdrawing.
    set(addsSampleFonts ON)
    set(arguments
        findFontByName "${lanternFace}"
        registerFont "${lantern}"
        findFontByName "${lanternFace}"
        unRegisterFont "${lantern}"
        findFontByName "${lanternFace}"
        registerFonts "${lantern},${harbor}"
        findFontByName "${harborFace}"
        unRegisterFont "${lantern}"
        unRegisterFont "${harbor}"
        findFontByName "${lanternFace}"
        findFontByName "${harborFace}")
    set(exitStatus 0)
    string(CONCAT output
        "findFontByName(\"${lanternFace}\") -> status 0, result 0\n"
        "registerFont(${lanternQuoted}) -> status 0, result 1\n"
        "findFontByName(\"${lanternFace}\") -> status 0, result 1\n"
        "unRegisterFont(${lanternQuoted}) -> status 0, result 0\n"
        "findFontByName(\"${lanternFace}\") -> status 0, result 0\n"
        "registerFonts(${listQuoted}) -> status 0, result 1\n"
        "findFontByName(\"${harborFace}\") -> status 0, result 1\n"
        "unRegisterFont(${lanternQuoted}) -> status 0, result 0\n"
        "unRegisterFont(${harborQuoted}) -> status 0, result 0\n"
        "findFontByName(\"${lanternFace}\") -> status 0, result 0\n"
        "findFontByName(\"${harborFace}\") -> status 0, result 0\n")
else()
    message(FATAL_ERROR "unknown case '${CASE}'")
endif()

if(addsSampleFonts)
    remove_sample_fonts()
endif()
# The program writes UTF-8 whatever the console's code page (CMake would decode
# by that code page on Windows).
if(emptyArgument)
    execute_process(COMMAND ${EMULATOR} ${PROGRAM} --list --library ""
        RESULT_VARIABLE actualStatus OUTPUT_VARIABLE actualOutput ERROR_VARIABLE actualError ENCODING UTF-8)
else()
    execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${arguments}
        RESULT_VARIABLE actualStatus OUTPUT_VARIABLE actualOutput ERROR_VARIABLE actualError ENCODING UTF-8)
endif()

set(failures "")
if(NOT actualStatus MATCHES "^(${exitStatus})$")
    string(APPEND failures "exit status: expected ${exitStatus}, got ${actualStatus}\n")
endif()
if(outputPattern)
    if(NOT actualOutput MATCHES "${outputPattern}")
        string(APPEND failures "standard output: expected to match\n[${outputPattern}]\ngot\n[${actualOutput}]\n")
    endif()
elseif(NOT actualOutput STREQUAL output)
    string(APPEND failures "standard output: expected\n[${output}]\ngot\n[${actualOutput}]\n")
endif()
if(error STREQUAL "")
    if(NOT actualError STREQUAL "")
        string(APPEND failures "standard error: expected nothing, got\n[${actualError}]\n")
    endif()
else()
    set(missing "")
    foreach(fragment IN LISTS error)
        string(FIND "${actualError}" "${fragment}" at)
        if(at EQUAL -1)
            set(missing "${fragment}")
        endif()
    endforeach()
    string(REGEX MATCHALL "\n" lineEnds "${actualError}")
    list(LENGTH lineEnds lines)
    string(LENGTH "${errorSource}: " prefixLength)
    string(SUBSTRING "${actualError}" 0 ${prefixLength} prefix)
    if(NOT missing STREQUAL "" OR NOT lines EQUAL 1 OR NOT prefix STREQUAL "${errorSource}: ")
        string(REPLACE ";" "..." fragments "${error}")
        string(APPEND failures
            "standard error: expected one line '${errorSource}: ...${fragments}...', got\n[${actualError}]\n")
    endif()
endif()
if(failures)
    if(addsSampleFonts)
        remove_sample_fonts()
    endif()
    string(SUBSTRING "${arguments}" 0 400 shownArguments)  # not all of a 40,000-character one
    message(FATAL_ERROR "scriptfonts-run ${shownArguments}\n${failures}")
endif()
