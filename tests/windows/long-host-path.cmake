# Runs in_host_test's InHostAtALongPath case in a copy of the test program
# named Photoshop.exe, with the DLL and a font, in folders that make the
# host's path HOST_PATH_UNITS long, as the emulator starts any program:
#   cmake -DEMULATOR=... -DPROGRAM=... -DLIBRARY=... -DFONT=... -DWORK_DIR=... -DHOST_PATH_UNITS=n
#         -P long-host-path.cmake
# A host that hangs is killed after callTimeout seconds.

set(callTimeout 20)  # one call and Wine's process start: far past what they take
set(folderUnits 100)  # "/" and a name, for each folder but the last, which takes what is left: 101 to 200

# The path as the program sees it: Wine maps drive Z: to the Unix root.
set(drive "")
if(EMULATOR)
    set(drive "Z:")
endif()
set(folder "${WORK_DIR}")
string(LENGTH "${drive}${folder}/Photoshop.exe" length)
math(EXPR twoFolders "2 * ${folderUnits}")
while(length LESS HOST_PATH_UNITS)
    math(EXPR left "${HOST_PATH_UNITS} - ${length}")
    if(left GREATER twoFolders)
        set(left ${folderUnits})
    endif()
    math(EXPR nameUnits "${left} - 1")
    string(REPEAT "d" ${nameUnits} name)
    string(APPEND folder "/${name}")
    math(EXPR length "${length} + ${left}")
endwhile()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${folder}")
file(COPY_FILE "${PROGRAM}" "${folder}/Photoshop.exe")
file(COPY "${LIBRARY}" "${FONT}" DESTINATION "${folder}")
execute_process(COMMAND ${EMULATOR} "${folder}/Photoshop.exe" --gtest_filter=InHostAtALongPath.*
    TIMEOUT ${callTimeout} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(REMOVE_RECURSE "${WORK_DIR}")
string(REPLACE "\r" "" output "${output}")
message("${output}")
# A filter that matched nothing, or a case that skipped, also exits 0.
if(NOT result EQUAL 0 OR NOT output MATCHES "\\[  PASSED  \\] 1 test")
    message(FATAL_ERROR "Photoshop.exe at a path of ${length} units: ${result}")
endif()
