# Cross-compiles for ARM64 Windows (Windows on Arm) with Zig's clang, lld,
# libc++ and MinGW-w64 headers and UCRT import libraries, from the virtual
# environment scripts/common.sh installs Zig into (build/zig).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)

set(target aarch64-windows-gnu)
set(scriptfonts_zig_root ${CMAKE_CURRENT_LIST_DIR}/../build/zig)
file(GLOB zig ${scriptfonts_zig_root}/lib/python3*/site-packages/ziglang/zig)
if(NOT zig)
    message(FATAL_ERROR "Zig is not installed in ${scriptfonts_zig_root}: run scripts/setup")
endif()
get_filename_component(zig_headers ${zig}/../lib/libc/include/any-windows-any ABSOLUTE)

# CMake wants one program per tool; Zig's are subcommands. Its cache stays in
# the environment, not in $HOME, so that a build under another home (a second
# build checking the release) finds what the first compiled.
set(wrappers ${scriptfonts_zig_root}/wrappers)
foreach(tool cc c++ ar ranlib)
    set(arguments ${tool})
    if(tool MATCHES "^c")
        string(APPEND arguments " -target ${target}")
    endif()
    file(CONFIGURE OUTPUT ${wrappers}/${tool} @ONLY CONTENT
"#!/bin/sh
ZIG_GLOBAL_CACHE_DIR='${scriptfonts_zig_root}/cache' exec '${zig}' ${arguments} \"$@\"
")
    file(CHMOD ${wrappers}/${tool} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
         WORLD_READ WORLD_EXECUTE)
endforeach()
set(CMAKE_C_COMPILER ${wrappers}/cc)
set(CMAKE_CXX_COMPILER ${wrappers}/c++)
set(CMAKE_AR ${wrappers}/ar)
set(CMAKE_RANLIB ${wrappers}/ranlib)
# LLVM's windres (Debian's llvm package) makes the version resource; winver.h is among Zig's headers.
find_program(CMAKE_RC_COMPILER NAMES llvm-windres llvm-windres-14 REQUIRED)
set(CMAKE_RC_FLAGS_INIT "--target=aarch64-w64-mingw32 -I ${zig_headers}")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Windows tests run under Debian's arm64 Wine, through qemu-user.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run;--arm64)
