# The user guide, written once in docs/guide-ja.md and made into the two forms
# a Windows user opens: plain text for Notepad and one HTML page with the
# screenshots inside it. Both come from pandoc; cmake/guide-text.lua turns the
# headings, tables and pictures into forms that read well as plain text.
find_program(PANDOC pandoc)
if(NOT PANDOC)
  # The zip needs the guide; a Linux build of neb01-extract does not.
  if(WIN32)
    message(FATAL_ERROR "pandoc makes the guide in the zip: apt-get install pandoc")
  endif()
  message(STATUS "pandoc not found: no user guide (apt-get install pandoc)")
endif()
set(NEB_GUIDE_IMAGES ${PROJECT_SOURCE_DIR}/docs CACHE PATH
    "Directory holding the guide's screenshots (main-window.png, main-window-running.png)")

set(NEB_GUIDE_SOURCE ${PROJECT_SOURCE_DIR}/docs/guide-ja.md)
set(NEB_GUIDE_TXT ${CMAKE_BINARY_DIR}/neb01-guide-ja.txt)
set(NEB_GUIDE_HTML ${CMAKE_BINARY_DIR}/neb01-guide-ja.html)

if(PANDOC)
  # pandoc never breaks a line between Japanese characters, so the source keeps
  # its lines short and the text keeps them as they are.
  add_custom_command(
    OUTPUT ${NEB_GUIDE_TXT}
    COMMAND ${PANDOC} -f markdown-raw_tex -t plain --wrap=preserve
            --lua-filter=${PROJECT_SOURCE_DIR}/cmake/guide-text.lua
            -o ${CMAKE_BINARY_DIR}/neb01-guide-ja.lf.txt ${NEB_GUIDE_SOURCE}
    COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_BINARY_DIR}/neb01-guide-ja.lf.txt -DOUT=${NEB_GUIDE_TXT}
            -P ${PROJECT_SOURCE_DIR}/cmake/notepad-text.cmake
    DEPENDS ${NEB_GUIDE_SOURCE} ${PROJECT_SOURCE_DIR}/cmake/guide-text.lua
            ${PROJECT_SOURCE_DIR}/cmake/notepad-text.cmake
    VERBATIM)

  # east_asian_line_breaks and cmake/guide-html.lua: a source line break
  # inside Japanese text is no space in the browser.
  add_custom_command(
    OUTPUT ${NEB_GUIDE_HTML}
    COMMAND ${PANDOC} -f markdown+east_asian_line_breaks-raw_tex -t html5 --wrap=none --self-contained
            --lua-filter=${PROJECT_SOURCE_DIR}/cmake/guide-html.lua
            --resource-path=${NEB_GUIDE_IMAGES} -c ${PROJECT_SOURCE_DIR}/docs/guide.css
            -V lang=ja --metadata "pagetitle=NEB01 使い方"
            -o ${NEB_GUIDE_HTML} ${NEB_GUIDE_SOURCE}
    DEPENDS ${NEB_GUIDE_SOURCE} ${PROJECT_SOURCE_DIR}/cmake/guide-html.lua ${PROJECT_SOURCE_DIR}/docs/guide.css
            ${NEB_GUIDE_IMAGES}/main-window.png ${NEB_GUIDE_IMAGES}/main-window-running.png
    VERBATIM)

  add_custom_target(neb01-guide ALL DEPENDS ${NEB_GUIDE_TXT} ${NEB_GUIDE_HTML})
endif()

# Registered without pandoc too: the missing guide then fails it.
if(NEB_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING)
  add_test(NAME guide
           COMMAND sh ${PROJECT_SOURCE_DIR}/tests/guide/check-guide.sh ${NEB_GUIDE_TXT} ${NEB_GUIDE_HTML}
                   ${NEB_GUIDE_SOURCE})
endif()
