# The one time a release carries. The PE headers' stamps and the zip's entry
# times are all this instant, so two builds of one commit give the same bytes:
# SOURCE_DATE_EPOCH when it is set at configure time, else the time of the
# commit checked out, else a fixed instant for a tree without git history (an
# unpacked source archive). Sets SCRIPTFONTS_SOURCE_DATE_EPOCH and writes it
# to SCRIPTFONTS_SOURCE_DATE_EPOCH_FILE, which the links depend on.
set(scriptfonts_epoch_without_history 1767225600)  # 2026-01-01 00:00:00 UTC

function(scriptfonts_commit_time out)
    set(${out} "" PARENT_SCOPE)
    find_package(Git QUIET)
    if(NOT GIT_FOUND)
        return()
    endif()
    macro(git_output variable)
        execute_process(COMMAND ${GIT_EXECUTABLE} ${ARGN} WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE ${variable} OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
    endmacro()
    # Only this tree's own history: an unpacked archive inside another repository has none
    # (git finds a repository there, but the tree is a folder of it, not its top).
    git_output(folder rev-parse --show-prefix)
    if(failed OR NOT folder STREQUAL "")
        return()
    endif()
    git_output(time log -1 --format=%ct)
    # A new commit configures again, so the next build takes its time.
    git_output(branch symbolic-ref -q HEAD)
    git_output(state_files rev-parse --git-path HEAD --git-path "${branch}" --git-path packed-refs)
    string(REPLACE "\n" ";" state_files "${state_files}")
    foreach(state_file IN LISTS state_files)
        get_filename_component(state_file "${state_file}" ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
        if(EXISTS "${state_file}" AND NOT IS_DIRECTORY "${state_file}")
            set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${state_file}")
        endif()
    endforeach()
    set(${out} "${time}" PARENT_SCOPE)
endfunction()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(SCRIPTFONTS_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
    if(NOT SCRIPTFONTS_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
        message(FATAL_ERROR "SOURCE_DATE_EPOCH must be whole seconds since 1970 (UTC), not '$ENV{SOURCE_DATE_EPOCH}'")
    endif()
else()
    scriptfonts_commit_time(SCRIPTFONTS_SOURCE_DATE_EPOCH)
    if(NOT SCRIPTFONTS_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
        set(SCRIPTFONTS_SOURCE_DATE_EPOCH ${scriptfonts_epoch_without_history})
    endif()
endif()
set(SCRIPTFONTS_SOURCE_DATE_EPOCH_FILE ${CMAKE_BINARY_DIR}/generated/source_date_epoch)
# Rewritten only when the time changes, so only then is anything linked again.
file(CONFIGURE OUTPUT ${SCRIPTFONTS_SOURCE_DATE_EPOCH_FILE} CONTENT "${SCRIPTFONTS_SOURCE_DATE_EPOCH}\n")
