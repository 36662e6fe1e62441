# Read by cpack before it does anything else, before it builds the programs.
# First the zip and checksums of an earlier run go, so that a run failing at
# any later step leaves no package that looks current.
file(REMOVE "${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip" "${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS")

# Then each signing setting the environment gives now replaces the one the
# build's cache holds, which was taken from the environment only when the
# cache was first made: a certificate exported after that (a reused build
# folder, a cached CI workspace) still signs. A cache value replaced by another
# is said, so the two never disagree without a word; the password file's and
# the key URI's values are never shown, in case they hold the secret itself.
foreach(setting IN LISTS CPACK_SCRIPTFONTS_SIGN_SETTINGS)
    set(name SCRIPTFONTS_${setting})
    set(cached "${CPACK_${name}}")
    set(given "$ENV{${name}}")
    set(CPACK_${name}_ORIGIN "the build's cache")
    if(given STREQUAL "")
        continue()
    endif()
    set(CPACK_${name} "${given}")
    set(CPACK_${name}_ORIGIN "the environment")
    if(cached STREQUAL "" OR cached STREQUAL given)
        continue()
    elseif(setting MATCHES "PASSWORD_FILE|PKCS11_KEY")
        message(STATUS "scriptfonts package: ${name} from the environment, not the one in the build's cache")
    else()
        message(STATUS "scriptfonts package: ${name} from the environment (${given}), not the build's cache (${cached})")
    endif()
endforeach()
