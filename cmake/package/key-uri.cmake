# Whether a key URI holds a PIN: a pin-value attribute anywhere in its path
# or query, as a module may read it, in any letter case and with letters,
# digits, "-._~" or "=" written as %XX escapes (RFC 3986 counts the unreserved
# ones the same either way; "=" too, for a module that unescapes before it
# splits). The separators ; ? & are left as written.
function(names_a_pin uri result)
    string(REGEX MATCHALL "%[0-9A-Fa-f][0-9A-Fa-f]" escapes "${uri}")
    foreach(escape IN LISTS escapes)
        string(SUBSTRING "${escape}" 1 2 hex)
        math(EXPR code "0x${hex}")
        if(code GREATER 0 AND code LESS 128)
            string(ASCII ${code} character)
            if(character MATCHES "^[A-Za-z0-9._~=-]$")
                string(REPLACE "${escape}" "${character}" uri "${uri}")
            endif()
        endif()
    endforeach()
    string(TOLOWER "${uri}" uri)
    if(uri MATCHES "(^pkcs11:|[;?&])pin-value=")
        set(${result} TRUE PARENT_SCOPE)
    else()
        set(${result} FALSE PARENT_SCOPE)
    endif()
endfunction()
