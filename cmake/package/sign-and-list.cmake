# Run by cpack once the package's files are staged, before it zips them, and
# after cmake/package/start.cmake. Every staged program (each .dll and .exe,
# sub-folders included) is signed when a certificate is given, and SHA256SUMS
# lists every other staged file. Every run says in one line whether the
# programs were signed, by whom and how many; a failure stops the package with
# one line (the leading space keeps CMake from wrapping it).
set(staged "${CPACK_TEMPORARY_DIRECTORY}")
file(REMOVE "${staged}.zip")
set(password_file "${CPACK_SCRIPTFONTS_SIGN_PASSWORD_FILE}")
set(timeout "${CPACK_SCRIPTFONTS_SIGN_TIMEOUT}")

include(${CMAKE_CURRENT_LIST_DIR}/key-uri.cmake)

function(refuse text)
    message(FATAL_ERROR " scriptfonts package not made: ${text}")
endfunction()

# A file that signing needs: set, and there.
function(need_file setting shown)
    if(CPACK_SCRIPTFONTS_${setting} STREQUAL "")
        refuse("SCRIPTFONTS_${setting} is not set${ARGN}")
    elseif(NOT EXISTS "${CPACK_SCRIPTFONTS_${setting}}" OR IS_DIRECTORY "${CPACK_SCRIPTFONTS_${setting}}")
        refuse("SCRIPTFONTS_${setting} names no file${shown}")
    endif()
endfunction()

# Signs with the options that the route below sets. A secret reaches
# osslsigncode only through -readpass (a file, or its standard input fed by
# the route), so no command line shows it. osslsigncode names the password
# file in some complaints: the setting's name stands in for its value, which
# may be a password put there by mistake; the key URI too, never shown.
function(sign program)
    set(unsigned "${staged}/${program}")
    execute_process(COMMAND ${feed} COMMAND "${CPACK_SCRIPTFONTS_OSSLSIGNCODE}" sign ${options}
                        -in "${unsigned}" -out "${unsigned}.signed"
                    RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE errors TIMEOUT ${timeout})
    if(failed OR NOT EXISTS "${unsigned}.signed")
        file(REMOVE "${unsigned}.signed")
        if(failed MATCHES "timeout")
            set(bound "${timeout} s (SCRIPTFONTS_SIGN_TIMEOUT${server})")
            refuse("signing ${program} failed: osslsigncode gave no result within ${bound}")
        endif()
        string(REPLACE "${password_file}" "SCRIPTFONTS_SIGN_PASSWORD_FILE" errors "${errors}\n${output}")
        if(NOT key STREQUAL "")
            string(REPLACE "${key}" "SCRIPTFONTS_SIGN_PKCS11_KEY" errors "${errors}")
        endif()
        # A token's own answer (PIN incorrect, PIN locked) in OpenSSL's error
        # stack, else osslsigncode's first complaint, which comes before it.
        if(errors MATCHES ":PKCS#11 module:[^:]*:([^:\n]+)")
            set(errors "${CMAKE_MATCH_1}")
        endif()
        string(REGEX MATCH "[^\n]+" reason "${errors}")
        refuse("signing ${program} failed: ${reason}${where}")
    endif()
    file(RENAME "${unsigned}.signed" "${unsigned}")
endfunction()

# Each route is asked for by its first setting. A .pfx / .p12 file holds the
# key, its password in a file (an empty one is given as no password, since
# osslsigncode cannot read one). A PKCS#11 module reaches a key that never
# leaves its token or HSM; printenv hands the PIN from the environment
# straight to osslsigncode, so CMake never holds it.
set(pkcs12 "${CPACK_SCRIPTFONTS_SIGN_PKCS12}")
set(module "${CPACK_SCRIPTFONTS_SIGN_PKCS11_MODULE}")
set(key "${CPACK_SCRIPTFONTS_SIGN_PKCS11_KEY}")
# Escaped, so that the URI's semicolons do not split it into arguments.
string(REPLACE ";" "\\;" uri "${key}")
set(feed "${CMAKE_COMMAND}" -E true)
if(pkcs12 STREQUAL "" AND module STREQUAL "")
    message(STATUS "scriptfonts package not signed: neither SCRIPTFONTS_SIGN_PKCS12 nor SCRIPTFONTS_SIGN_PKCS11_MODULE "
                   "is set, in the environment or the build's cache")
elseif(NOT pkcs12 STREQUAL "" AND NOT module STREQUAL "")
    refuse("SCRIPTFONTS_SIGN_PKCS12 and SCRIPTFONTS_SIGN_PKCS11_MODULE are both set: sign through one of them")
elseif(module STREQUAL "")
    set(route SIGN_PKCS12)
    need_file(SIGN_PASSWORD_FILE "" " (for a certificate without a password, name an empty file)")
    need_file(SIGN_PKCS12 ": ${pkcs12}")
    set(options -pkcs12 "${pkcs12}")
    file(SIZE "${password_file}" password_size)
    if(password_size GREATER 0)
        list(APPEND options -readpass "${password_file}")
    endif()
else()
    set(route SIGN_PKCS11_MODULE)
    need_file(SIGN_PKCS11_MODULE ": ${module}")
    need_file(SIGN_PKCS11_CERTS ": ${CPACK_SCRIPTFONTS_SIGN_PKCS11_CERTS}")
    names_a_pin("${key}" pin_in_uri)
    if(NOT key MATCHES "^pkcs11:" OR pin_in_uri)
        refuse("SCRIPTFONTS_SIGN_PKCS11_KEY is not a pkcs11: URI, or holds a PIN (SCRIPTFONTS_SIGN_PKCS11_PIN does)")
    elseif(NOT DEFINED ENV{SCRIPTFONTS_SIGN_PKCS11_PIN})
        refuse("SCRIPTFONTS_SIGN_PKCS11_PIN is not set in the environment (for a key that needs no PIN, set it empty)")
    endif()
    set(options -pkcs11module "${module}" -certs "${CPACK_SCRIPTFONTS_SIGN_PKCS11_CERTS}" -key "${uri}"
        -readpass /dev/stdin)
    set(feed printenv SCRIPTFONTS_SIGN_PKCS11_PIN)
    set(where " (PKCS#11 module ${module})")
endif()
if(route)
    if(NOT EXISTS "${CPACK_SCRIPTFONTS_OSSLSIGNCODE}")
        refuse("signing needs osslsigncode, which was not found (SCRIPTFONTS_OSSLSIGNCODE)")
    elseif(NOT timeout MATCHES "^[1-9][0-9]*$")
        refuse("SCRIPTFONTS_SIGN_TIMEOUT is not a whole number of seconds: ${timeout}")
    endif()
    # Authenticode with a SHA-256 digest and the product's name as description.
    list(APPEND options -h sha256 -n "${CPACK_PACKAGE_NAME}")
    if(CPACK_SCRIPTFONTS_SIGN_TIMESTAMP_URL)
        list(APPEND options -ts "${CPACK_SCRIPTFONTS_SIGN_TIMESTAMP_URL}")
        set(server "; time-stamp server ${CPACK_SCRIPTFONTS_SIGN_TIMESTAMP_URL}")
    endif()
    # In the order of their paths' bytes, as file(GLOB) gives them.
    file(GLOB_RECURSE programs LIST_DIRECTORIES false RELATIVE "${staged}" "${staged}/*.dll" "${staged}/*.exe")
    foreach(program IN LISTS programs)
        sign("${program}")
    endforeach()
    list(LENGTH programs signed)
    list(GET programs 0 first)
    # The signer and the time stamp as osslsigncode's verification reports
    # them (it fails, but still reports both, when the certificate authority
    # is not one this machine trusts): what the signature holds, not what was
    # asked. Without a time stamp, it lasts only as long as the certificate.
    execute_process(COMMAND "${CPACK_SCRIPTFONTS_OSSLSIGNCODE}" verify -in "${staged}/${first}"
                    OUTPUT_VARIABLE report ERROR_QUIET TIMEOUT ${timeout})
    set(signer "a certificate whose subject osslsigncode did not report")
    if(report MATCHES "Subject: ([^\n]+)")
        set(signer "${CMAKE_MATCH_1}")
    endif()
    if(report MATCHES "Timestamp time: ([^\n]+)")
        set(lasting "; time-stamped ${CMAKE_MATCH_1}")
    elseif(report MATCHES "notAfter : ([^\n]+)")
        set(lasting "; no time stamp: the signatures end when the certificate expires, ${CMAKE_MATCH_1}")
    endif()
    message(STATUS "scriptfonts package signed by ${signer} (SCRIPTFONTS_${route} from "
                   "${CPACK_SCRIPTFONTS_${route}_ORIGIN}: ${CPACK_SCRIPTFONTS_${route}}); ${signed} programs${lasting}")
endif()

# CPack's own zip takes its entry times from here.
set(ENV{SOURCE_DATE_EPOCH} "${CPACK_SCRIPTFONTS_SOURCE_DATE_EPOCH}")
# In the order of their paths' bytes, as file(GLOB) gives them.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${staged}" "${staged}/*")
execute_process(COMMAND "${CMAKE_COMMAND}" -E sha256sum ${files} WORKING_DIRECTORY "${staged}"
                OUTPUT_FILE "${staged}/SHA256SUMS" COMMAND_ERROR_IS_FATAL ANY)
