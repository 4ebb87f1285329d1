# What a user gets. Windows: a zip (cmake --build build-win --target package)
# with the two programs and the Japanese guide. Linux: cmake --install puts
# neb01-extract, neb01-gen and the man page under the prefix.
if(WIN32)
  # The guide as Notepad reads it best: UTF-8 with a byte order mark, CR LF.
  set(NEB_GUIDE_TXT ${CMAKE_BINARY_DIR}/neb01-guide-ja.txt)
  add_custom_command(
    OUTPUT ${NEB_GUIDE_TXT}
    COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/docs/guide-ja.md -DOUT=${NEB_GUIDE_TXT}
            -P ${PROJECT_SOURCE_DIR}/cmake/notepad-text.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/guide-ja.md ${PROJECT_SOURCE_DIR}/cmake/notepad-text.cmake
    VERBATIM)
  add_custom_target(neb01-guide ALL DEPENDS ${NEB_GUIDE_TXT})

  # Everything at the top of the zip's one folder: the user copies the
  # programs into the suite's directory. The suite's own files stay out.
  install(TARGETS neb01 neb01-extract RUNTIME DESTINATION .)
  install(FILES ${NEB_GUIDE_TXT} ${PROJECT_SOURCE_DIR}/docs/main-window.png DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME neb01)
  set(CPACK_PACKAGE_FILE_NAME neb01-${PROJECT_VERSION}-win64)
  set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
else()
  include(GNUInstallDirs)
  install(TARGETS neb01-extract neb01-gen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/docs/neb01-extract.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
