# Runs scriptfonts-run for one case of the table below and checks what it did:
#   cmake -DEMULATOR=... -DPROGRAM=... -DTEST_LIBRARIES=dir -DSAMPLE_FONTS=... -DWORK_DIR=... -DCASE=name
#         -DVERSION=... [-DPYTHON=...] -P run-case.cmake
# TEST_LIBRARIES holds the test script libraries (refusing-library.dll ...);
# WORK_DIR is the case's own scratch directory; VERSION the project's version;
# PYTHON runs foreign-machine.py, for the cases that need an image of another machine.

# The program's machine, from its image (the COFF header's first field, after "PE\0\0" at e_lfanew), and the other
# 64-bit one, whose images it must refuse: the same rows hold in an x64 and an ARM64 tree.
file(READ "${PROGRAM}" bytes OFFSET 60 LIMIT 4 HEX)
string(REGEX REPLACE "(..)(..)(..)(..)" "0x\\4\\3\\2\\1" headerOffset "${bytes}")
math(EXPR machineOffset "${headerOffset} + 4")
file(READ "${PROGRAM}" machine OFFSET ${machineOffset} LIMIT 2 HEX)
if(machine STREQUAL "6486")
    set(ownMachine x64)
    set(otherMachine aa64)
    set(otherMachineName ARM64)
elseif(machine STREQUAL "64aa")
    set(ownMachine ARM64)
    set(otherMachine 8664)
    set(otherMachineName x64)
else()
    message(FATAL_ERROR "${PROGRAM}: machine bytes '${machine}', neither x64 nor ARM64")
endif()
set(onlyOwnMachine "and an ${ownMachine} process loads only ${ownMachine} DLLs")

# A path as the program sees it: Wine maps drive Z: to the Unix root.
function(program_path out path)
    string(REPLACE "/" "\\" path "${path}")
    if(EMULATOR)
        set(path "Z:${path}")
    endif()
    set(${out} "${path}" PARENT_SCOPE)
endfunction()

program_path(lantern "${SAMPLE_FONTS}/lantern.ttf")
program_path(harbor "${SAMPLE_FONTS}/harbor.ttf")
foreach(library refusing incomplete mislisting listless error-mode module-loading smashed-stack)  # ${refusing-library}
    program_path(${library}-library "${TEST_LIBRARIES}/${library}-library.dll")
endforeach()
program_path(missingLibrary "${SAMPLE_FONTS}/no-such-directory/scriptfonts.dll")
get_filename_component(programDirectory "${PROGRAM}" DIRECTORY)
program_path(besideProgramLibrary "${programDirectory}/scriptfonts.dll")
# What a case puts in its scratch directory: a copy of the program (alone), an
# image of another machine, a file of arguments.
program_path(work "${WORK_DIR}")
set(foreign "${work}\\foreign.dll")
set(argumentFile "${work}\\argument")
# Paths in a pattern: each character that means something there escaped.
foreach(path besideProgramLibrary module-loading-library)
    string(REGEX REPLACE "([][+.*?()^$|\\])" "\\\\\\1" ${path}Pattern "${${path}}")
endforeach()
# A process ended by __fastfail for a smashed canary (STATUS_STACK_BUFFER_OVERRUN,
# 0xC0000409): Wine's exit status is the low byte of the code; on Windows CMake
# gives the code itself, as a number or in words.
set(overrunStatus 9)
if(NOT EMULATOR)
    set(overrunStatus "-1073740791|3221226505|.*[cC]0000409.*|.*[Oo]verrun.*")
endif()
set(lanternFace "Scriptfonts Sample Lantern")
set(harborFace "Scriptfonts Sample Harbor")
# What the usage must name: every option, @PATH and @@, and the exit statuses.
string(CONCAT usagePattern "^usage: scriptfonts-run [^\n]*\n"
    ".*--library PATH.*--list.*--version.*--load-report.*--help, -h, /\\?.*@PATH.*@@"
    ".*Exit status: 0.*1.*2 nothing was called")

# An argument file's bytes that are not well-formed UTF-8 reach the call
# unchanged, and each byte of such a sequence (marked x) is printed as \xNN;
# the well-formed characters between, most at an edge of the ranges, print as themselves.
set(exactBytes "a")
set(exactBytesPrinted "a")
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
    string(REGEX REPLACE "^x?(..)$" "0x\\1" code "${byte}")
    math(EXPR code "${code}")
    string(ASCII ${code} raw)
    string(APPEND exactBytes "${raw}")
    if(byte MATCHES "^x")
        set(raw "\\${byte}")
    endif()
    string(APPEND exactBytesPrinted "${raw}")
endforeach()
# An argument file of about 100 KB, three times what a command line can carry.
foreach(i RANGE 1 3000)
    list(APPEND longList "Z:\\no-such-directory\\font-${i}.ttf")
endforeach()
string(REPLACE ";" "," longList "${longList}")
string(REPLACE "\\" "\\\\" longListPrinted "${longList}")
string(REPEAT "a" 40000 longName)
string(ASCII 1 startOfHeading)

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

# A row of the table: runs the case if it is CASE, and checks what it did.
#   case(NAME EXIT_STATUS [ARGS argument...] [CALLS function argument result...] [EMPTY_LAST]
#        [OUTPUT text... | MATCHES pattern...] [ERROR fragment... [FROM program]]
#        [ALONE] [FOREIGN machine] [WRITE bytes] [SAMPLE_FONTS] [NOT_UNDER_ARM64_WINE])
# EXIT_STATUS is a pattern (most are a number). CALLS are calls that succeed,
# printed as scriptfonts-run prints them: in quotes, backslashes doubled. The
# output is the OUTPUT texts, or matches the MATCHES ones, joined (else empty);
# standard error is empty, or one line from FROM (scriptfonts-run) holding each
# ERROR fragment. EMPTY_LAST adds an empty argument, which a list cannot hold;
# ALONE runs a copy of the program without the DLL; FOREIGN makes ${foreign},
# the refusing library for another machine; WRITE puts the bytes in
# ${argumentFile}; SAMPLE_FONTS withdraws the sample fonts before the run and
# after a failed one; NOT_UNDER_ARM64_WINE leaves the case out of the ARM64
# build's tests under Wine (docs/testing.md says why). CMakeLists.txt makes a
# test of each row from its first line, which must hold the NAME, and
# FOREIGN, FROM wine-run or NOT_UNDER_ARM64_WINE if it has them.
function(case name exitStatus)
    if(NOT name STREQUAL CASE)
        return()
    endif()
    set(caseFound TRUE PARENT_SCOPE)
    cmake_parse_arguments(PARSE_ARGV 2 "" "EMPTY_LAST;ALONE;SAMPLE_FONTS;NOT_UNDER_ARM64_WINE" "FROM;FOREIGN;WRITE"
                          "ARGS;CALLS;OUTPUT;MATCHES;ERROR")
    list(JOIN _OUTPUT "" _OUTPUT)
    list(JOIN _MATCHES "" _MATCHES)
    if(NOT _FROM)
        set(_FROM scriptfonts-run)
    endif()
    while(_CALLS)
        list(POP_FRONT _CALLS call argument result)
        list(APPEND _ARGS "${call}" "${argument}")
        string(REPLACE "\\" "\\\\" argument "${argument}")
        string(APPEND _OUTPUT "${call}(\"${argument}\") -> status 0, result ${result}\n")
    endwhile()
    file(MAKE_DIRECTORY "${WORK_DIR}")
    if(_ALONE)
        file(COPY "${PROGRAM}" DESTINATION "${WORK_DIR}")
        get_filename_component(programName "${PROGRAM}" NAME)
        set(PROGRAM "${WORK_DIR}/${programName}")
    endif()
    if(_FOREIGN)
        execute_process(COMMAND "${PYTHON}" "${CMAKE_CURRENT_LIST_DIR}/foreign-machine.py"
            "${TEST_LIBRARIES}/refusing-library.dll" "${WORK_DIR}/foreign.dll" ${_FOREIGN} COMMAND_ERROR_IS_FATAL ANY)
    endif()
    if(DEFINED _WRITE)
        file(WRITE "${WORK_DIR}/argument" "${_WRITE}")
    endif()
    if(_SAMPLE_FONTS)
        remove_sample_fonts()
    endif()
    # The program writes UTF-8 whatever the console's code page (CMake would
    # decode by that code page on Windows).
    set(results RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE error ENCODING UTF-8)
    if(_EMPTY_LAST)
        execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${_ARGS} "" ${results})
    else()
        execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${_ARGS} ${results})
    endif()

    set(failures "")
    if(NOT status MATCHES "^(${exitStatus})$")
        string(APPEND failures "exit status: expected ${exitStatus}, got ${status}\n")
    endif()
    if(_MATCHES AND NOT output MATCHES "${_MATCHES}")
        string(APPEND failures "standard output: expected to match\n[${_MATCHES}]\ngot\n[${output}]\n")
    elseif(NOT _MATCHES AND NOT output STREQUAL "${_OUTPUT}")
        string(APPEND failures "standard output: expected\n[${_OUTPUT}]\ngot\n[${output}]\n")
    endif()
    string(FIND "${error}" "${_FROM}: " errorStart)
    set(fragmentMissing FALSE)
    foreach(fragment IN LISTS _ERROR)
        string(FIND "${error}" "${fragment}" at)
        if(at EQUAL -1)
            set(fragmentMissing TRUE)
        endif()
    endforeach()
    if(NOT _ERROR AND NOT error STREQUAL "")
        string(APPEND failures "standard error: expected nothing, got\n[${error}]\n")
    elseif(_ERROR AND (fragmentMissing OR NOT errorStart EQUAL 0 OR NOT error MATCHES "^[^\n]*\n$"))
        list(JOIN _ERROR "..." fragments)
        string(APPEND failures "standard error: expected one line '${_FROM}: ...${fragments}...', got\n[${error}]\n")
    endif()
    if(failures)
        if(_SAMPLE_FONTS)
            remove_sample_fonts()
        endif()
        string(SUBSTRING "${_ARGS}" 0 400 shownArguments)  # not all of a 40,000-character one
        message(FATAL_ERROR "scriptfonts-run ${shownArguments}\n${failures}")
    endif()
endfunction()

case(list 0 ARGS --list
    OUTPUT "registerFont_s, registerFontA_s, unRegisterFont_s, registerFonts_s, findFontByName_s\nversion 4\n")
case(unknown-option 2 ARGS --list --frobnicate ERROR "unknown option --frobnicate")
case(nothing-to-do 2 ERROR "nothing to do")
# The complete first pair must not run either.
case(missing-argument 2 ARGS findFontByName "${lanternFace}" registerFont ERROR "missing argument for registerFont")
case(missing-library-path 2 ARGS --list --library ERROR "--library needs a path")
case(missing-library 2 ARGS --library "${missingLibrary}" --list
    ERROR "cannot load ${missingLibrary}: " "(Windows error 126)")
# What a user meets who copies the program without the DLL.
case(no-library-beside-program 2 ALONE ARGS findFontByName "${lanternFace}"
    ERROR "cannot load ${work}\\scriptfonts.dll")
case(not-a-library 2 ARGS --library "${lantern}" --list
    ERROR "cannot load ${lantern}: " "(Windows error 193)" "it is not a PE file")
# The same error number as a text file: the headers tell them apart.
case(32-bit-library 2 FOREIGN 14c ARGS --library "${foreign}" --list
    ERROR "cannot load ${foreign}: " "(Windows error 193)" "it is a 32-bit x86 image, ${onlyOwnMachine}")
case(other-64-bit-library 2 FOREIGN ${otherMachine} ARGS --library "${foreign}" --list
    ERROR "cannot load ${foreign}: " "it is an ${otherMachineName} image, ${onlyOwnMachine}")
# Not the default DLL, quietly.
case(empty-library-path 2 ARGS --list --library EMPTY_LAST ERROR "--library needs a path, not an empty one")
case(help 0 ARGS --help MATCHES "${usagePattern}")
case(help-short 0 ARGS -h MATCHES "${usagePattern}")
case(help-slash 0 ARGS /? MATCHES "${usagePattern}")
case(version 0 ARGS --version OUTPUT "scriptfonts-run ${VERSION}\n${besideProgramLibrary}: file version ${VERSION}\n")
case(version-without-resource 0 ARGS --version --library "${refusing-library}"
    OUTPUT "scriptfonts-run ${VERSION}\n${refusing-library}: no version resource\n")
# The program's own version still shows.
case(version-library-missing 2 ARGS --version --library "${missingLibrary}"
    OUTPUT "scriptfonts-run ${VERSION}\n" ERROR "cannot load ${missingLibrary}")
# Quotes, backslashes and control characters are escaped: each call stays one line.
case(escaped-arguments 0 ARGS findFontByName "q\"\nt\t\\z${startOfHeading}"
    OUTPUT "findFontByName(\"q\\\"\\nt\\t\\\\z\\x01\") -> status 0, result 0\n")
case(argument-file-exact-bytes 0 WRITE "${exactBytes}" ARGS findFontByName "@${argumentFile}"
    OUTPUT "findFontByName(\"${exactBytesPrinted}\") -> status 0, result 0\n")
case(argument-file-long-list 0 WRITE "${longList}" ARGS registerFonts "@${argumentFile}"
    OUTPUT "registerFonts(\"${longListPrinted}\") -> status 0, result 1\n")
case(argument-file-literal-at 0 ARGS findFontByName "@@x" OUTPUT "findFontByName(\"@x\") -> status 0, result 0\n")
# (Debian 12's arm64 Wine returns from FormatMessageW with x18, the register
# that holds the thread's TEB on ARM64, overwritten; here a throw follows.)
case(argument-file-missing 2 NOT_UNDER_ARM64_WINE ARGS findFontByName "@${work}\\no-such-file"
    ERROR "cannot read ${work}\\no-such-file: " "(Windows error 2)")
# The engine's text ends at its first NUL: such a file cannot be passed unchanged.
case(argument-file-with-nul 2 ARGS findFontByName "@${lantern}" ERROR "${lantern} holds a NUL byte at offset 0")
# Wine would exit 1 without a word; the wrapper refuses and points at @PATH.
case(command-line-too-long 2 ARGS findFontByName "${longName}" FROM wine-run
    ERROR "longer than Wine can start" "@PATH")
# A DLL every process has, by the name the loader knows it by.
case(not-a-script-library 2 ARGS --library kernel32.dll --list ERROR "does not export ESInitialize")
# Every lifecycle entry is required, not only the first.
case(incomplete-library 2 ARGS --library "${incomplete-library}" refuse "a" ERROR "does not export ESTerminate")
case(no-signature-list 2 ARGS --library "${listless-library}" --list ERROR "ESInitialize returned no signature list")
case(listed-function-not-exported 2 ARGS --library "${mislisting-library}" refuse "a"
    ERROR "the signature list names vanished, which ${mislisting-library} does not export")
# Names are exact, and an unknown one stops the run before any call.
case(unknown-function 2 ARGS findFontByName "${lanternFace}" registerfont "${lantern}"
    ERROR "unknown function registerfont")
# Exported, but not a script function: called as one it would be handed arguments it does not take.
case(lifecycle-entry-as-function 2 ARGS ESFreeMem "a" ERROR "unknown function ESFreeMem")
case(not-one-string 2 ARGS --library "${refusing-library}" refuse "a" refuse_pair "b"
    ERROR "refuse_pair takes \"ss\"; scriptfonts-run passes exactly one string")
# A refused call prints its status only, named as the engine names it, the
# others still run, and the exit status says so.
case(refused-call 1 ARGS --library "${refusing-library}" refuse "a" refuse "-28" refuse "8" refuse "7"
    OUTPUT "refuse(\"a\") -> status 20 (bad argument list)\n" "refuse(\"-28\") -> status -28 (out of memory)\n"
           "refuse(\"8\") -> status 8 (syntax error)\n"
           "refuse(\"7\") -> status 7 (not one of the engine's codes known here)\n")
# Windows can stop a load on a box that waits for a user (a bad image, a
# missing dependency); Wine shows none. This library answers ESGetVersion
# with those of the two flags that were set while it loaded.
case(error-boxes-off 0 ARGS --library "${error-mode-library}" --list
    OUTPUT "refuse_s, refuse_pair_ss\nversion 32769\n")  # SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX
# Loading the DLL, its imports loaded first, brings no other module in.
case(load-report 0 ARGS --load-report
    MATCHES "^loading ${besideProgramLibraryPattern} \\(its imports loaded first: "
            "[^)]*KERNEL32\\.dll[^)]*\\) loaded no other module\n$")
case(load-report-other-module 1 ARGS --library "${module-loading-library}" --load-report
    MATCHES "^loading ${module-loading-libraryPattern} \\(its imports loaded first: [^)]*\\) "
            "also loaded: ([^\n]*, )?version\\.dll \\(unloaded again\\)")
# An overflowed local array ends the process by its canary before the function
# returns (no line for the call).
case(smashed-stack "${overrunStatus}"
    ARGS --library "${smashed-stack-library}" refuse "far more than the eight bytes it is copied into")
# A face registered by one call is found by the next: all calls share one
# process. It ends as it began, with neither face installed. Its first five
# calls are those of samples/activate-fonts.jsx, activating and withdrawing.
case(sample-fonts-in-one-process 0 SAMPLE_FONTS CALLS
    findFontByName "${lanternFace}" 0
    registerFont "${lantern}" 1
    findFontByName "${lanternFace}" 1
    unRegisterFont "${lantern}" 0
    findFontByName "${lanternFace}" 0
    registerFonts "${lantern},${harbor}" 1
    findFontByName "${harborFace}" 1
    unRegisterFont "${lantern}" 0
    unRegisterFont "${harbor}" 0
    findFontByName "${lanternFace}" 0
    findFontByName "${harborFace}" 0)

if(NOT caseFound)
    message(FATAL_ERROR "unknown case '${CASE}'")
endif()
