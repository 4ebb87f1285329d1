# What a user gets. Windows: a zip (cmake --build build-win --target package)
# with the two programs and the Japanese guide (made by cmake/guide.cmake).
# Linux: cmake --install puts neb01-extract, neb01-gen and the man page under
# the prefix.
if(WIN32)
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
