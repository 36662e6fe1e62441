# Run by cpack once it has zipped the staged files, before it moves the zip
# beside the build. CPack's zip keeps the order in which the file system
# lists the staged folders and the builder's user and group ids, so it is made
# again from the staged files in a form that depends on nothing else (see
# write-zip.py); then its checksum goes beside it.
set(zip "${CPACK_PACKAGE_FILES}")
if(CPACK_SCRIPTFONTS_PYTHON3)
    execute_process(
        COMMAND "${CPACK_SCRIPTFONTS_PYTHON3}" "${CMAKE_CURRENT_LIST_DIR}/write-zip.py"
            "${CPACK_SCRIPTFONTS_SOURCE_DATE_EPOCH}" "${zip}" "${CPACK_TEMPORARY_DIRECTORY}"
        COMMAND_ERROR_IS_FATAL ANY)
else()
    message(WARNING "No Python 3: the zip is CPack's own, which another machine or user would not make byte for byte")
endif()
get_filename_component(archive_name "${zip}" NAME)
file(SHA256 "${zip}" hash)
file(WRITE "${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS" "${hash}  ${archive_name}\n")
