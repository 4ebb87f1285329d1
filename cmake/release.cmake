# What a user gets. Windows: a zip (cmake --build build-win --target package)
# with the two programs, the Japanese guide in its two forms (made by
# cmake/guide.cmake) and the release texts, and its SHA-256 beside it.
# Linux: cmake --install puts neb01-extract, neb01-gen and the man page under
# the prefix.
if(WIN32)
  # The release texts with Windows line ends; the mode table sample in
  # Shift_JIS, as the programs read Mode.txt.
  set(NEB_RELEASE_TEXTS)
  foreach(text LICENSE.txt:ascii release/THIRD-PARTY-NOTICES.txt:utf8-bom release/CHANGES-ja.txt:utf8-bom
               release/Mode-sample.txt:cp932)
    string(REPLACE ":" ";" text ${text})
    list(GET text 0 in)
    list(GET text 1 encoding)
    get_filename_component(name ${in} NAME)
    set(out ${CMAKE_BINARY_DIR}/release/${name})
    add_custom_command(
      OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/${in} -DOUT=${out} -DENCODING=${encoding}
              -P ${PROJECT_SOURCE_DIR}/cmake/windows-text.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/${in} ${PROJECT_SOURCE_DIR}/cmake/windows-text.cmake
      VERBATIM)
    list(APPEND NEB_RELEASE_TEXTS ${out})
  endforeach()
  add_custom_target(neb01-release-texts ALL DEPENDS ${NEB_RELEASE_TEXTS})

  # Everything at the top of the zip's one folder: the user copies the
  # programs into the suite's directory. The suite's own files stay out, and
  # so does a Mode.txt, which would replace the user's own.
  install(TARGETS neb01 neb01-extract RUNTIME DESTINATION .)
  # The HTML guide holds the screenshots; no picture beside it.
  install(FILES ${NEB_GUIDE_TXT} ${NEB_GUIDE_HTML} ${NEB_RELEASE_TEXTS} DESTINATION .)

  # Not CPack: its zip takes the build's file times and extra fields. The
  # entries' time is the release date, or SOURCE_DATE_EPOCH when set.
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(NEB_RELEASE_EPOCH $ENV{SOURCE_DATE_EPOCH})
  else()
    set(NEB_RELEASE_EPOCH 1796601600)  # 2026-12-07 00:00 UTC
  endif()
  find_program(NEB_ZIP zip REQUIRED)
  add_custom_target(package
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DNAME=neb01-${PROJECT_VERSION}-win64
            -DMTIME=@${NEB_RELEASE_EPOCH} -P ${PROJECT_SOURCE_DIR}/cmake/release-zip.cmake
    VERBATIM)
  add_dependencies(package neb01 neb01-extract neb01-guide neb01-release-texts)
else()
  include(GNUInstallDirs)
  install(TARGETS neb01-extract neb01-gen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/docs/neb01-extract.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
