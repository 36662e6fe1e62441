# Runs scriptfonts-run for one case and checks what it did:
#   cmake -DEMULATOR=... -DPROGRAM=... -DTEST_LIBRARIES=dir -DSAMPLE_FONTS=... -DWORK_DIR=... -DCASE=name
#         -P run-case.cmake
# TEST_LIBRARIES holds the test script libraries (refusing-library.dll ...);
# WORK_DIR is the case's own scratch directory.
# Each case sets the command line, the exit status, the exact standard
# output, and the text the one line of standard error must hold (none: empty).

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
program_path(missingLibrary "${SAMPLE_FONTS}/no-such-directory/scriptfonts.dll")
if(NOT EMULATOR AND DEFINED ENV{SystemRoot})
    set(systemLibrary "$ENV{SystemRoot}\\System32\\kernel32.dll")
else()
    set(systemLibrary "C:\\windows\\system32\\kernel32.dll")
endif()
set(lanternFace "Scriptfonts Sample Lantern")
set(harborFace "Scriptfonts Sample Harbor")

set(output "")
set(error "")
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
    set(error "cannot load ${missingLibrary}")
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
    set(error "cannot load ${lantern}")
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
    # A refused call prints its status only, the others still run, and the exit status says so.
    set(arguments --library "${refusingLibrary}" refuse "a" refuse "b")
    set(exitStatus 1)
    set(output "refuse(\"a\") -> status 20\nrefuse(\"b\") -> status 20\n")
elseif(CASE STREQUAL "sample-fonts-in-one-process")
    # A face registered by one call is found by the next: all calls share one process.
    set(arguments
        findFontByName "${lanternFace}"
        registerFont "${lantern}"
        findFontByName "${lanternFace}"
        unRegisterFont "${lantern}"
        findFontByName "${lanternFace}"
        registerFonts "${lantern},${harbor}"
        findFontByName "${harborFace}")
    set(exitStatus 0)
    string(CONCAT output
        "findFontByName(\"${lanternFace}\") -> status 0, result 0\n"
        "registerFont(\"${lantern}\") -> status 0, result 1\n"
        "findFontByName(\"${lanternFace}\") -> status 0, result 1\n"
        "unRegisterFont(\"${lantern}\") -> status 0, result 0\n"
        "findFontByName(\"${lanternFace}\") -> status 0, result 0\n"
        "registerFonts(\"${lantern},${harbor}\") -> status 0, result 1\n"
        "findFontByName(\"${harborFace}\") -> status 0, result 1\n")
else()
    message(FATAL_ERROR "unknown case '${CASE}'")
endif()

execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${arguments}
    RESULT_VARIABLE actualStatus OUTPUT_VARIABLE actualOutput ERROR_VARIABLE actualError)

set(failures "")
if(NOT actualStatus STREQUAL exitStatus)
    string(APPEND failures "exit status: expected ${exitStatus}, got ${actualStatus}\n")
endif()
if(NOT actualOutput STREQUAL output)
    string(APPEND failures "standard output: expected\n[${output}]\ngot\n[${actualOutput}]\n")
endif()
if(error STREQUAL "")
    if(NOT actualError STREQUAL "")
        string(APPEND failures "standard error: expected nothing, got\n[${actualError}]\n")
    endif()
else()
    string(FIND "${actualError}" "${error}" at)
    string(REGEX MATCHALL "\n" lineEnds "${actualError}")
    list(LENGTH lineEnds lines)
    if(at EQUAL -1 OR NOT lines EQUAL 1 OR NOT actualError MATCHES "^scriptfonts-run: ")
        string(APPEND failures "standard error: expected one line 'scriptfonts-run: ...${error}...', got\n[${actualError}]\n")
    endif()
endif()
if(failures)
    message(FATAL_ERROR "scriptfonts-run ${arguments}\n${failures}")
endif()
