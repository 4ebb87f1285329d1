# cmake -DIN=guide.md -DOUT=guide.txt -P notepad-text.cmake
# UTF-8 with a byte order mark and CR LF line ends: older Notepad reads a
# file without the mark as the ANSI code page and LF-only text as one line.
file(READ ${IN} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 bom)
file(WRITE ${OUT} "${bom}${text}")
