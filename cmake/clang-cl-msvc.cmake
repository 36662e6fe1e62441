# Configures the project as a 64-bit MSVC build with LLVM's MSVC-style tools,
# so that the flags of every object can be read from compile_commands.json on
# a machine without the MSVC headers and libraries. Configure only: nothing
# built with it would link.
#
# SCRIPTFONTS_MSVC_TARGET is the processor built for, x86_64 or aarch64. The
# system's processor stays AMD64 for both, as Visual Studio's -A ARM64 leaves it
# on an x64 machine: what a build is for is its compiler's target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(SCRIPTFONTS_MSVC_TARGET x86_64 CACHE STRING "The processor clang-cl compiles for: x86_64 or aarch64")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SCRIPTFONTS_MSVC_TARGET)

find_program(CMAKE_CXX_COMPILER NAMES clang-cl clang-cl-14 REQUIRED)
find_program(CMAKE_LINKER NAMES lld-link lld-link-14 REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES llvm-rc llvm-rc-14 REQUIRED)
find_program(CMAKE_AR NAMES llvm-lib llvm-lib-14 REQUIRED)
# GoogleTest's project() enables C as well.
set(CMAKE_C_COMPILER ${CMAKE_CXX_COMPILER})
set(CMAKE_C_COMPILER_TARGET ${SCRIPTFONTS_MSVC_TARGET}-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET ${SCRIPTFONTS_MSVC_TARGET}-pc-windows-msvc)

# Without the Windows SDK nothing links: the compiler checks build static libraries.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
