# Writes a UTF-8 text file in the form Windows editors read correctly, old
# Notepad included: a byte-order mark first and CR LF line ends.
# Usage: cmake -DIN=source.md -DOUT=target.txt -P windows_text.cmake
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 bom)
string(FIND "${text}" "${bom}" bomAt)
if(NOT bomAt EQUAL 0)
  set(text "${bom}${text}")
endif()
file(WRITE "${OUT}.part" "${text}")
file(RENAME "${OUT}.part" "${OUT}")
