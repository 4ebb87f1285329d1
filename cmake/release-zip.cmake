# cmake -DBUILD_DIR=build-win -DNAME=neb01-1.1.0-win64 -DMTIME=date -P release-zip.cmake
# Makes BUILD_DIR/package/NAME.zip from the install rules, and NAME.zip.sha256
# beside it. The same commit gives the same bytes: entries in sorted order,
# every file time set to MTIME, no extra fields (owner, access and change
# times) in the zip.
set(stage ${BUILD_DIR}/package-stage)
set(zip ${BUILD_DIR}/package/${NAME}.zip)
file(REMOVE_RECURSE ${stage})
file(REMOVE ${zip} ${zip}.sha256)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${stage}/${NAME}
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${stage} ${stage}/*)
list(SORT files)
execute_process(COMMAND touch -d ${MTIME} ${NAME} ${files} WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)
file(MAKE_DIRECTORY ${BUILD_DIR}/package)
# zip stores local time: in UTC the entries show MTIME wherever the build ran.
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -X -D -q -9 ${zip} ${files}
                WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)
file(SHA256 ${zip} sum)
file(WRITE ${zip}.sha256 "${sum}  ${NAME}.zip\n")
message(STATUS "${zip}: ${sum}")
