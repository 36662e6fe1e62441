# Run by cpack once the package's files are staged, before it zips them.
# The programs are signed when a certificate is given, and SHA256SUMS lists
# every other staged file. Every run says in one line whether the programs
# were signed, and by whom; a failure stops the package with one line (the
# leading space keeps CMake from wrapping it). cmake/package/start.cmake has
# removed an earlier package and taken the environment's settings.
set(staged "${CPACK_TEMPORARY_DIRECTORY}")
file(REMOVE "${staged}.zip")
set(password_file "${CPACK_SCRIPTFONTS_SIGN_PASSWORD_FILE}")
set(timeout "${CPACK_SCRIPTFONTS_SIGN_TIMEOUT}")

function(refuse text)
    message(FATAL_ERROR " scriptfonts package not made: ${text}")
endfunction()

# Authenticode with a SHA-256 digest and the product's name as description,
# through osslsigncode. The password goes by file, so no command line shows
# it; an empty file is given as no password, since osslsigncode cannot read
# one. osslsigncode names the password file in some complaints: the setting's
# name stands in for its value, which may be a password put there by mistake.
function(sign program)
    set(command "${CPACK_SCRIPTFONTS_OSSLSIGNCODE}" sign -pkcs12 "${CPACK_SCRIPTFONTS_SIGN_PKCS12}"
        -h sha256 -n "${CPACK_PACKAGE_NAME}")
    file(SIZE "${password_file}" password_size)
    if(password_size GREATER 0)
        list(APPEND command -readpass "${password_file}")
    endif()
    if(CPACK_SCRIPTFONTS_SIGN_TIMESTAMP_URL)
        list(APPEND command -ts "${CPACK_SCRIPTFONTS_SIGN_TIMESTAMP_URL}")
    endif()
    set(unsigned "${staged}/${program}")
    file(REMOVE "${unsigned}.signed")
    execute_process(COMMAND ${command} -in "${unsigned}" -out "${unsigned}.signed"
                    RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE errors TIMEOUT ${timeout})
    if(failed OR NOT EXISTS "${unsigned}.signed")
        file(REMOVE "${unsigned}.signed")
        if(failed MATCHES "timeout")
            set(bound "SCRIPTFONTS_SIGN_TIMEOUT")
            if(CPACK_SCRIPTFONTS_SIGN_TIMESTAMP_URL)
                string(APPEND bound "; time-stamp server ${CPACK_SCRIPTFONTS_SIGN_TIMESTAMP_URL}")
            endif()
            refuse("signing ${program} failed: osslsigncode gave no result within ${timeout} s (${bound})")
        endif()
        string(REPLACE "${password_file}" "SCRIPTFONTS_SIGN_PASSWORD_FILE" errors "${errors}\n${output}")
        # osslsigncode's first complaint, before OpenSSL's error stack.
        string(REGEX MATCH "[^\n]+" reason "${errors}")
        refuse("signing ${program} failed: ${reason}")
    endif()
    file(RENAME "${unsigned}.signed" "${unsigned}")
endfunction()

# The subject of the certificate that signed a program, as osslsigncode's
# verification reports it (which fails, but still names the signer, when
# the certificate authority is not one this machine trusts).
function(signer_of program out)
    execute_process(COMMAND "${CPACK_SCRIPTFONTS_OSSLSIGNCODE}" verify -in "${staged}/${program}"
                    OUTPUT_VARIABLE report ERROR_QUIET TIMEOUT ${timeout})
    if(report MATCHES "Subject: ([^\n]+)")
        set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
    else()
        set(${out} "a certificate whose subject osslsigncode did not report" PARENT_SCOPE)
    endif()
endfunction()

set(pkcs12 "${CPACK_SCRIPTFONTS_SIGN_PKCS12}")
if(pkcs12 STREQUAL "")
    message(STATUS "scriptfonts package not signed: SCRIPTFONTS_SIGN_PKCS12 is set neither in the environment "
                   "nor in the build's cache")
else()
    if(password_file STREQUAL "")
        refuse("SCRIPTFONTS_SIGN_PASSWORD_FILE is not set (for a certificate without a password, name an empty file)")
    endif()
    if(NOT EXISTS "${pkcs12}" OR IS_DIRECTORY "${pkcs12}")
        refuse("SCRIPTFONTS_SIGN_PKCS12 names no file: ${pkcs12}")
    endif()
    if(NOT EXISTS "${password_file}" OR IS_DIRECTORY "${password_file}")
        refuse("SCRIPTFONTS_SIGN_PASSWORD_FILE names no file")
    endif()
    if(NOT EXISTS "${CPACK_SCRIPTFONTS_OSSLSIGNCODE}")
        refuse("signing needs osslsigncode, which was not found (SCRIPTFONTS_OSSLSIGNCODE)")
    endif()
    if(NOT timeout MATCHES "^[1-9][0-9]*$")
        refuse("SCRIPTFONTS_SIGN_TIMEOUT is not a whole number of seconds: ${timeout}")
    endif()
    sign(scriptfonts.dll)
    sign(scriptfonts-run.exe)
    signer_of(scriptfonts.dll signer)
    message(STATUS "scriptfonts package signed by ${signer} "
                   "(SCRIPTFONTS_SIGN_PKCS12 from ${CPACK_SCRIPTFONTS_SIGN_PKCS12_ORIGIN}: ${pkcs12})")
endif()

# CPack's own zip takes its entry times from here.
set(ENV{SOURCE_DATE_EPOCH} "${CPACK_SCRIPTFONTS_SOURCE_DATE_EPOCH}")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${staged}" "${staged}/*")
list(SORT files)
set(sums "")
foreach(file IN LISTS files)
    file(SHA256 "${staged}/${file}" hash)
    string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE "${staged}/SHA256SUMS" "${sums}")
