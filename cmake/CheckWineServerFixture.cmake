# Fails unless every test of the build tree that runs under the emulator
# requires the Wine server fixture, but for the fixture's own (named
# FIXTURE.*: its start, its stop, this check). A test without it still passes,
# but starts a server of its own (seconds each) and may run beside the stop.
# Run by ctest in the build root (cmake/WineServer.cmake):
#   cmake -DCTEST=ctest -DCONFIG=<config or empty> -DEMULATOR=<path> -DFIXTURE=<name> -P ...
set(config_option)
if(CONFIG)  # a multi-config tree lists its tests only for one configuration
    set(config_option -C ${CONFIG})
endif()
execute_process(COMMAND ${CTEST} --show-only=json-v1 ${config_option}
                OUTPUT_VARIABLE json ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "ctest --show-only=json-v1 ${config_option} failed (${status}): ${errors}")
endif()

# As given, and as CMake writes it before a program (without "dir/..").
get_filename_component(normal_emulator "${EMULATOR}" ABSOLUTE)
set(emulated 0)
set(lacking)
string(JSON count LENGTH "${json}" tests)
foreach(index RANGE ${count})
    if(index EQUAL count)  # RANGE N counts 0 to N
        break()
    endif()
    string(JSON test GET "${json}" tests ${index})
    string(JSON name GET "${test}" name)
    # Programs built for Windows are run through the emulator, and scripts name it among their arguments.
    string(JSON command ERROR_VARIABLE no_command GET "${test}" command)
    string(FIND "${command}" "${EMULATOR}" at)
    string(FIND "${command}" "${normal_emulator}" normal_at)
    if(name MATCHES "^${FIXTURE}[.]" OR no_command OR (at EQUAL -1 AND normal_at EQUAL -1))
        continue()
    endif()
    math(EXPR emulated "${emulated} + 1")
    set(requires FALSE)
    string(JSON properties ERROR_VARIABLE no_properties LENGTH "${test}" properties)
    if(no_properties)
        set(properties 0)
    endif()
    foreach(p RANGE ${properties})
        if(p EQUAL properties)
            break()
        endif()
        string(JSON property GET "${test}" properties ${p} name)
        string(JSON value GET "${test}" properties ${p} value)
        if(property STREQUAL "FIXTURES_REQUIRED" AND value MATCHES "\"${FIXTURE}\"")
            set(requires TRUE)
        endif()
    endforeach()
    if(NOT requires)
        list(APPEND lacking ${name})
    endif()
endforeach()

list(LENGTH lacking lacking_count)
if(emulated EQUAL 0)
    message(FATAL_ERROR "no test runs under ${normal_emulator}: nothing to check (${count} tests listed)")
elseif(lacking_count GREATER 0)
    list(JOIN lacking "\n  " names)
    message(FATAL_ERROR "${lacking_count} of ${emulated} tests that run under ${normal_emulator} do not require the "
                        "${FIXTURE} fixture (FIXTURES_REQUIRED; see cmake/WineServer.cmake):\n  ${names}")
endif()
message("${emulated} tests run under ${normal_emulator}, each with the ${FIXTURE} fixture")
