# cmake -DIN=text.txt -DOUT=out.txt -DENCODING=ascii|utf8-bom|cp932 -P windows-text.cmake
# A text file as Notepad and the suite read it: CR LF line ends; Japanese
# texts UTF-8 with a byte order mark (older Notepad takes a file without it
# for the ANSI code page), or Shift_JIS where the suite reads the file.
file(READ ${IN} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
if(ENCODING STREQUAL "utf8-bom")
  string(ASCII 239 187 191 bom)
  file(WRITE ${OUT} "${bom}${text}")
elseif(ENCODING STREQUAL "cp932")
  file(WRITE ${OUT}.utf8 "${text}")
  execute_process(COMMAND iconv -f UTF-8 -t CP932 ${OUT}.utf8 OUTPUT_FILE ${OUT} RESULT_VARIABLE rc)
  file(REMOVE ${OUT}.utf8)
  if(NOT rc EQUAL 0)
    file(REMOVE ${OUT})
    message(FATAL_ERROR "${IN}: no Shift_JIS form (iconv: ${rc})")
  endif()
else()
  file(WRITE ${OUT} "${text}")
endif()
