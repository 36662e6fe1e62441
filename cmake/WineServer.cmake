# Under Wine, one Wine server for the whole test run: started before the first
# test that runs under it and ended after the last, so that no test starts one
# (and waits seconds for it to let go of its output). A ctest fixture, so that
# `ctest -R`, `--rerun-failed` and `-j` start and end it too. Each build tree's
# tests run in a Wine prefix of the tree's own, so that the stop of one tree's
# run ends nothing another runs. Natively on Windows there is nothing to start.

# Makes the tests named (in the calling directory) require the fixture and run
# in the tree's prefix; the first call adds its start and stop.
function(scriptfonts_tests_under_wine_server)
    if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
        return()
    endif()
    set(fixture wine-server)
    # Read by the emulator (scripts/wine-run), which starts and stops the server of the prefix it runs programs in.
    set(prefix SCRIPTFONTS_WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix)
    get_property(added GLOBAL PROPERTY scriptfonts_wine_server_fixture_added)
    if(NOT added)
        set_property(GLOBAL PROPERTY scriptfonts_wine_server_fixture_added TRUE)
        add_test(NAME ${fixture}.start COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --start-server)
        add_test(NAME ${fixture}.stop COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --stop-server)
        # Making the prefix on first use takes a while.
        set_tests_properties(${fixture}.start PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 300 ENVIRONMENT ${prefix})
        set_tests_properties(${fixture}.stop PROPERTIES FIXTURES_CLEANUP ${fixture} TIMEOUT 60 ENVIRONMENT ${prefix})
        # And every test that runs under the emulator requires the fixture, and no other does.
        list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 emulator)
        add_test(NAME ${fixture}.required-by-every-test
                 COMMAND ${SCRIPTFONTS_PYTHON3} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check-wine-server-fixture.py
                         ${CMAKE_CTEST_COMMAND} $<CONFIG> ${emulator} ${fixture}
                 WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
        set_tests_properties(${fixture}.required-by-every-test PROPERTIES TIMEOUT 60)
    endif()
    set_property(TEST ${ARGN} APPEND PROPERTY FIXTURES_REQUIRED ${fixture})
    set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT ${prefix})
endfunction()
