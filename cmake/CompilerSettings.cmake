# Warnings, sanitizers and the settings every Windows binary of the project shares.

# MSVC: one C/C++ runtime for every target of the build, GoogleTest's included,
# set before the first one: objects built for the static and for the DLL
# runtime do not link into one image (LNK2038). The static one, so that the DLL
# and scriptfonts-run need no runtime DLL beside them.
set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")

# The machine the images are for: x64, or ARM64 (Windows on Arm). Visual
# Studio's -A ARM64 leaves CMAKE_SYSTEM_PROCESSOR the host's; the compiler
# knows its target.
if(CMAKE_CXX_COMPILER_ARCHITECTURE_ID MATCHES "^ARM64" OR CMAKE_SYSTEM_PROCESSOR MATCHES "^(ARM64|aarch64)$")
    set(SCRIPTFONTS_MACHINE ARM64)
else()
    set(SCRIPTFONTS_MACHINE x64)
endif()

# The oldest Windows the images are for: for x64 Vista, which has everything
# they import; for ARM64 Windows 10, the first there is (written as Zig's
# clang defines it, which a different spelling would redefine). Its version
# goes into their headers, and every object is compiled against it
# (GoogleTest's too), so the headers declare nothing it lacks.
# With it, for every object alike: no min and max macros (the Windows SDK
# defines them in C++ too, and std::min after <windows.h> does not compile
# with MSVC), and none of what <windows.h> includes beyond the core (sockets,
# shell, OLE, crypto, common dialogs, multimedia), which no source uses.
if(SCRIPTFONTS_MACHINE STREQUAL "ARM64")
    set(scriptfonts_oldest_windows 0x0a00)
else()
    set(scriptfonts_oldest_windows 0x0600)
endif()
if(WIN32)
    add_compile_definitions(_WIN32_WINNT=${scriptfonts_oldest_windows} WINVER=${scriptfonts_oldest_windows}
                            NTDDI_VERSION=${scriptfonts_oldest_windows}0000 NOMINMAX WIN32_LEAN_AND_MEAN)
endif()

function(scriptfonts_compiler_settings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8)
        # Security cookies and Control Flow Guard checks in every object, core
        # included; scriptfonts_windows_binary adds the linker's half.
        target_compile_options(${target} PRIVATE /GS /guard:cf)
        set(warnings_as_errors /WX)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
        set(warnings_as_errors -Werror)
    endif()
    if(SCRIPTFONTS_WERROR)
        target_compile_options(${target} PRIVATE ${warnings_as_errors})
    endif()
    if(WIN32)
        target_compile_definitions(${target} PRIVATE UNICODE _UNICODE)
    endif()
    if(MINGW)
        # Stack canaries in every function with a local array or an address-taken
        # local. The flag stays off the link, which would bring in libssp, whose
        # constructor loads the crypto API's DLLs under the loader lock; the
        # guard and its failure routine are the project's own
        # (src/platform/win32/stack_guard.h), seeded in each image's entry point
        # before the C runtime's.
        target_compile_options(${target} PRIVATE -fstack-protector-strong)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            target_link_libraries(${target} PRIVATE scriptfonts_stack_guard)
            target_link_options(${target} PRIVATE -Wl,-e,scriptfontsGuardedProgramEntry)
        elseif(type MATCHES "^(SHARED|MODULE)_LIBRARY$")
            target_link_libraries(${target} PRIVATE scriptfonts_stack_guard)
            target_link_options(${target} PRIVATE -Wl,-e,scriptfontsGuardedDllEntry)
        elseif(NOT target STREQUAL "scriptfonts_stack_guard")
            # After these objects on every link line that takes them.
            target_link_libraries(${target} INTERFACE scriptfonts_stack_guard)
        endif()
        # Paths the compiler writes (__FILE__, debug information) do not depend on
        # where the tree was checked out.
        target_compile_options(${target} PRIVATE -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)
    endif()
    if(SCRIPTFONTS_SANITIZE AND NOT MSVC)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all
                                                 -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# A Windows binary that is loaded into, or run beside, a third-party process:
# no runtime DLLs of the toolchain, and the system's exploit mitigations on.
function(scriptfonts_windows_binary target)
    if(MINGW)
        math(EXPR major "${scriptfonts_oldest_windows} >> 8")
        math(EXPR minor "${scriptfonts_oldest_windows} & 0xff")
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++
                            -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat
                            # The oldest Windows that loads them (x64: GetTickCount64, msvcrt's wcscpy_s).
                            # Zig's linker takes the versions only with the subsystem named (GNU ld's default).
                            -Wl,--subsystem,console
                            -Wl,--major-subsystem-version,${major} -Wl,--minor-subsystem-version,${minor}
                            -Wl,--major-os-version,${major} -Wl,--minor-os-version,${minor}
                            # What ships carries no debug sections (the static runtime brings some).
                            $<$<CONFIG:Release,MinSizeRel>:-s>)
        # GNU ld stamps the PE header and export table with SOURCE_DATE_EPOCH
        # when it is set, else with the link time; relinked when the epoch
        # changes. (Zig's lld stamps a hash of the image instead, /Brepro.)
        set_target_properties(${target} PROPERTIES
            CXX_LINKER_LAUNCHER "${CMAKE_COMMAND};-E;env;SOURCE_DATE_EPOCH=${SCRIPTFONTS_SOURCE_DATE_EPOCH}"
            LINK_DEPENDS ${SCRIPTFONTS_SOURCE_DATE_EPOCH_FILE})
        if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
            # lld leaves the header's checksum 0; a signing tool would fill it in.
            add_custom_command(TARGET ${target} POST_BUILD VERBATIM
                COMMAND ${SCRIPTFONTS_PYTHON3} ${PROJECT_SOURCE_DIR}/cmake/pe-checksum.py $<TARGET_FILE:${target}>)
        endif()
    elseif(MSVC)
        target_link_options(${target} PRIVATE /DYNAMICBASE /HIGHENTROPYVA /NXCOMPAT /GUARD:CF)
        if(SCRIPTFONTS_MACHINE STREQUAL "x64")
            # Shadow stacks: a host that enforces them strictly loads only compatible DLLs.
            target_link_options(${target} PRIVATE /CETCOMPAT)
        endif()
    endif()
endfunction()

# A Windows console program entered at wmain (the command line as UTF-16),
# built into the build root beside the DLL it loads.
function(scriptfonts_console_program target)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
    scriptfonts_compiler_settings(${target})
    scriptfonts_windows_binary(${target})
    if(MINGW)
        target_link_options(${target} PRIVATE -municode)
    endif()
endfunction()
