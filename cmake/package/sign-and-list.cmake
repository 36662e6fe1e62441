# Run by cpack once the package's files are staged, before it zips them.
# First the zip and checksums of an earlier run go, so that whatever fails
# below leaves no package behind; then the programs are signed when a
# certificate is given, and SHA256SUMS lists every other staged file.
# A failure stops the package with one line (the leading space keeps CMake
# from wrapping it).
set(staged "${CPACK_TEMPORARY_DIRECTORY}")
file(REMOVE "${CPACK_SCRIPTFONTS_ARCHIVE}" "${CPACK_SCRIPTFONTS_ARCHIVE_SUMS}" "${staged}.zip")

function(refuse text)
    message(FATAL_ERROR " scriptfonts package not made: ${text}")
endfunction()

# Authenticode with a SHA-256 digest and the product's name as description,
# through osslsigncode. The password goes by file, so no command line shows it.
function(sign program)
    set(command "${CPACK_SCRIPTFONTS_OSSLSIGNCODE}" sign -pkcs12 "${CPACK_SCRIPTFONTS_SIGN_PKCS12}"
        -readpass "${CPACK_SCRIPTFONTS_SIGN_PASSWORD_FILE}" -h sha256 -n "${CPACK_PACKAGE_NAME}")
    if(CPACK_SCRIPTFONTS_SIGN_TIMESTAMP_URL)
        list(APPEND command -ts "${CPACK_SCRIPTFONTS_SIGN_TIMESTAMP_URL}")
    endif()
    set(unsigned "${staged}/${program}")
    file(REMOVE "${unsigned}.signed")
    execute_process(COMMAND ${command} -in "${unsigned}" -out "${unsigned}.signed"
                    RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE errors)
    if(failed OR NOT EXISTS "${unsigned}.signed")
        file(REMOVE "${unsigned}.signed")
        # osslsigncode's first complaint, before OpenSSL's error stack.
        string(REGEX MATCH "[^\n]+" reason "${errors}\n${output}")
        refuse("signing ${program} failed: ${reason}")
    endif()
    file(RENAME "${unsigned}.signed" "${unsigned}")
endfunction()

if(CPACK_SCRIPTFONTS_SIGN_PKCS12)
    if(CPACK_SCRIPTFONTS_SIGN_PASSWORD_FILE STREQUAL "")
        refuse("SCRIPTFONTS_SIGN_PASSWORD_FILE is empty (an empty file is the password of a certificate that has none)")
    endif()
    foreach(setting SIGN_PKCS12 SIGN_PASSWORD_FILE)
        set(path "${CPACK_SCRIPTFONTS_${setting}}")
        if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
            refuse("SCRIPTFONTS_${setting} names no file: ${path}")
        endif()
    endforeach()
    if(NOT EXISTS "${CPACK_SCRIPTFONTS_OSSLSIGNCODE}")
        refuse("signing needs osslsigncode, which was not found (SCRIPTFONTS_OSSLSIGNCODE)")
    endif()
    sign(scriptfonts.dll)
    sign(scriptfonts-run.exe)
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
