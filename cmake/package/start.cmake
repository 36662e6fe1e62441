# Read by cpack before it does anything else, before it builds the programs.
# First the zip and checksums of an earlier run go, so that a run failing at
# any later step leaves no package that looks current.
file(REMOVE "${CPACK_SCRIPTFONTS_ARCHIVE}" "${CPACK_SCRIPTFONTS_ARCHIVE_SUMS}")

# Then each signing setting the environment gives now replaces the one the
# build's cache holds, which was taken from the environment only when the
# cache was first made: a certificate exported after that (a reused build
# folder, a cached CI workspace) still signs. A cache value replaced by another
# is said, so the two never disagree without a word; the password file's
# value is never shown, in case it holds the password itself.
set(CPACK_SCRIPTFONTS_SIGN_PKCS12_ORIGIN "the build's cache")
foreach(setting SIGN_PKCS12 SIGN_PASSWORD_FILE SIGN_TIMESTAMP_URL SIGN_TIMEOUT)
    set(name SCRIPTFONTS_${setting})
    set(cached "${CPACK_${name}}")
    set(given "$ENV{${name}}")
    if(given STREQUAL "")
        continue()
    endif()
    set(CPACK_${name} "${given}")
    if(setting STREQUAL "SIGN_PKCS12")
        set(CPACK_SCRIPTFONTS_SIGN_PKCS12_ORIGIN "the environment")
    endif()
    if(cached STREQUAL "" OR cached STREQUAL given)
        continue()
    elseif(setting STREQUAL "SIGN_PASSWORD_FILE")
        message(STATUS "scriptfonts package: ${name} from the environment, not the one in the build's cache")
    else()
        message(STATUS "scriptfonts package: ${name} from the environment (${given}), not the build's cache (${cached})")
    endif()
endforeach()
