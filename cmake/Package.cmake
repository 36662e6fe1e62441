# What a panel author ships: `cmake --build <dir> --target package` zips the
# Release build of the x64 tree, with the ARM64 tree's DLL and scriptfonts-run
# in arm64/, into <dir>/scriptfonts-<version>-win64.zip, laid out as the
# repository is (the install() calls below), so the README's paths and the
# sample script work inside it. README.md there is docs/panel-guide.md, the
# guide for panel authors. tests/windows/package_test.py checks the archive.

# Packaging builds what ships and nothing else, with every generator: the
# install step below builds the two programs (its script lies in the build
# root). Without these, the package target would first build `all` (through
# preinstall with Makefiles, directly with Ninja, Ninja Multi-Config and Visual
# Studio), every test program and benchmark included, and a test that fails to
# build would stop it before start.cmake removes the previous package.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CMAKE_SKIP_PACKAGE_ALL_DEPENDENCY ON)
# Not the builder's umask: staged folders are made with these.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Every tree installs its two programs as component "programs", built first:
# the x64 tree into the package's root, the ARM64 tree into its arm64/. Only a
# Release-type build ships: it carries no debug information. A single-config
# tree was configured with its type; a multi-config one is told it.
get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
if(multi_config)
    install(CODE [[set(configuration "${CMAKE_INSTALL_CONFIG_NAME}")]] COMPONENT programs)
else()
    install(CODE "set(configuration \"${CMAKE_BUILD_TYPE}\")" COMPONENT programs)
endif()
install(CODE [[
    # A tree's two programs, built in the configuration named (also the ARM64 tree's, below).
    function(scriptfonts_build_programs tree configuration)
        execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=MAKEFLAGS --unset=MFLAGS
                            "${CMAKE_COMMAND}" --build "${tree}" --config "${configuration}"
                            --target scriptfonts scriptfonts-run
                        COMMAND_ERROR_IS_FATAL ANY)
    endfunction()
    if(NOT configuration MATCHES "^(Release|MinSizeRel)$")
        message(FATAL_ERROR "scriptfonts ships from a Release build, not '${configuration}' "
                            "(${CMAKE_CURRENT_LIST_DIR})")
    endif()
    scriptfonts_build_programs("${CMAKE_CURRENT_LIST_DIR}" "${configuration}")
]] COMPONENT programs)
# The files as linked; the engine loads the DLL at run time, so no import library.
install(PROGRAMS $<TARGET_FILE:scriptfonts> $<TARGET_FILE:scriptfonts-run> DESTINATION . COMPONENT programs)
if(NOT SCRIPTFONTS_MACHINE STREQUAL "x64")
    return()  # the ARM64 tree ships through the x64 tree's package
endif()

set(SCRIPTFONTS_ARM64_BUILD_DIR "" CACHE PATH
    "The ARM64 build tree (windows-arm64 preset, or Visual Studio's -A ARM64) whose two programs ship in arm64/")
install(CODE "set(arm64_tree \"${SCRIPTFONTS_ARM64_BUILD_DIR}\")")
install(CODE [[
    if(NOT EXISTS "${arm64_tree}/CMakeCache.txt")
        message(FATAL_ERROR " scriptfonts package not made: no ARM64 build tree at '${arm64_tree}' "
                            "(SCRIPTFONTS_ARM64_BUILD_DIR): the package ships the ARM64 DLL beside the x64 one; configure "
                            "one with the windows-arm64 preset, or with Visual Studio's -A ARM64")
    endif()
    # Built first, which also brings its install rules up to date with its sources.
    scriptfonts_build_programs("${arm64_tree}" "${CMAKE_INSTALL_CONFIG_NAME}")
    execute_process(COMMAND "${CMAKE_COMMAND}" --install "${arm64_tree}" --config "${CMAKE_INSTALL_CONFIG_NAME}"
                        --component programs --prefix "${CMAKE_INSTALL_PREFIX}/arm64"
                    COMMAND_ERROR_IS_FATAL ANY)
]])
install(FILES include/scriptfonts.h DESTINATION include)
install(FILES docs/panel-guide.md DESTINATION . RENAME README.md)
install(FILES CHANGELOG.md LICENSE DESTINATION .)
install(FILES samples/activate-fonts.jsx DESTINATION samples)
install(FILES samples/fonts/lantern.ttf samples/fonts/harbor.ttf DESTINATION samples/fonts)

# Signing with Authenticode, when a certificate is named here or in the
# environment variable of the same name, read again when packaging
# (cmake/package/start.cmake), so a CI secret needs no edit: in a .pfx file, or
# on a token or HSM reached through its PKCS#11 module. The password stays in
# its file and the PIN in the environment: never on a command line, in the
# cache or a log.
set(SCRIPTFONTS_SIGN_PKCS12 "$ENV{SCRIPTFONTS_SIGN_PKCS12}" CACHE FILEPATH
    "PKCS#12 file (.pfx, .p12) to sign the package's programs with when packaging; empty: no signing")
set(SCRIPTFONTS_SIGN_PASSWORD_FILE "$ENV{SCRIPTFONTS_SIGN_PASSWORD_FILE}" CACHE FILEPATH
    "File holding the password of SCRIPTFONTS_SIGN_PKCS12")
set(SCRIPTFONTS_SIGN_PKCS11_MODULE "$ENV{SCRIPTFONTS_SIGN_PKCS11_MODULE}" CACHE FILEPATH
    "PKCS#11 module (.so) of the token or HSM to sign with instead; PIN: SCRIPTFONTS_SIGN_PKCS11_PIN, environment only")
set(SCRIPTFONTS_SIGN_PKCS11_KEY "$ENV{SCRIPTFONTS_SIGN_PKCS11_KEY}" CACHE STRING
    "pkcs11: URI of the signing key in SCRIPTFONTS_SIGN_PKCS11_MODULE's token (pkcs11:token=...;object=...)")
# A key URI holding its PIN is refused here too, and dropped: the cache would keep it.
include(cmake/package/key-uri.cmake)
names_a_pin("${SCRIPTFONTS_SIGN_PKCS11_KEY}" pin_in_uri)
if(pin_in_uri)
    unset(SCRIPTFONTS_SIGN_PKCS11_KEY CACHE)
    message(FATAL_ERROR " scriptfonts not configured: SCRIPTFONTS_SIGN_PKCS11_KEY holds a PIN "
                        "(SCRIPTFONTS_SIGN_PKCS11_PIN does)")
endif()
set(SCRIPTFONTS_SIGN_PKCS11_CERTS "$ENV{SCRIPTFONTS_SIGN_PKCS11_CERTS}" CACHE FILEPATH
    "PEM file with the certificate of SCRIPTFONTS_SIGN_PKCS11_KEY and its chain")
set(SCRIPTFONTS_SIGN_TIMESTAMP_URL "$ENV{SCRIPTFONTS_SIGN_TIMESTAMP_URL}" CACHE STRING
    "RFC 3161 time-stamping server for the signatures; empty: none")
# A slow time-stamp server answers within seconds, a minute at worst; one that
# takes the connection and never answers must not hold the package step (and
# CI) for ever.
set(SCRIPTFONTS_SIGN_TIMEOUT 120 CACHE STRING
    "Seconds each osslsigncode run (signing, time stamp included; reading the signer back) may take before the package is given up")
# Looked for even when nothing is named yet: the environment may name a certificate at package time.
find_program(SCRIPTFONTS_OSSLSIGNCODE osslsigncode)

# Named after the project; a zip holds no vendor, summary, licence or readme page of CPack's, only the files above.
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME scriptfonts-${PROJECT_VERSION}-win64)
# Beside the DLL in the build directory, wherever cpack is started from.
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_VERBATIM_VARIABLES ON)
# Before anything else (the build of the programs included), after staging and
# after zipping; each script's head says what it does.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package/start.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package/sign-and-list.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package/fix-zip.cmake)
# What they need, under CPACK_ names: only those reach cpack.
# Those the environment may replace at package time are named here once.
set(CPACK_SCRIPTFONTS_SIGN_SETTINGS SIGN_PKCS12 SIGN_PASSWORD_FILE SIGN_PKCS11_MODULE SIGN_PKCS11_KEY SIGN_PKCS11_CERTS
    SIGN_TIMESTAMP_URL SIGN_TIMEOUT)
foreach(setting ${CPACK_SCRIPTFONTS_SIGN_SETTINGS} OSSLSIGNCODE PYTHON3 SOURCE_DATE_EPOCH)
    set(CPACK_SCRIPTFONTS_${setting} "${SCRIPTFONTS_${setting}}")
endforeach()
# No source package. A release's sources are its commit (a clone, or the
# archive the repository's host makes of its tag); CPack's source package
# would zip the build folder along with the sources and run the scripts above
# over it, deleting this package's zip and rewriting its SHA256SUMS. CMake
# adds the package_source target only where it finds CPackSourceConfig.cmake
# beside the build, so the source configuration include(CPack) always writes
# goes elsewhere, and an earlier configure's is removed.
set(CPACK_SOURCE_OUTPUT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CMakeFiles/scriptfonts-no-source-package.cmake)
file(REMOVE ${CMAKE_BINARY_DIR}/CPackSourceConfig.cmake)
# Named before include(CPack), which leaves CPACK_PACKAGE_FILE_NAME set to the source package's name.
set(SCRIPTFONTS_PACKAGE_ARCHIVE ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip)
include(CPack)
