# GoogleTest, built from source with the project's own compiler so the same
# tree serves the native build and the MinGW cross build. Included once: by
# tests/unit natively, by tests/windows for Windows.
set(SCRIPTFONTS_GOOGLETEST_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
if(EXISTS "${SCRIPTFONTS_GOOGLETEST_DIR}/CMakeLists.txt")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    # With MSVC GoogleTest takes the build's one runtime (cmake/CompilerSettings.cmake)
    # like every target; its own switch to the DLL runtime stays off.
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    add_subdirectory(${SCRIPTFONTS_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
    find_package(GTest REQUIRED)
endif()
