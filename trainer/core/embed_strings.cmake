# Writes OUTPUT, a C++ source holding every file of SOURCES as bytes, for the built-in English
# string table. Run at build time so edits to the sources rebuild the table.
set(body "")
set(entries "")
set(index 0)
string(REPLACE "|" ";" SOURCES "${SOURCES}")
foreach(src ${SOURCES})
  file(READ ${src} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  get_filename_component(name ${src} NAME)
  string(APPEND body "const unsigned char s${index}[] = {${hex}0x00};\n")
  file(SIZE ${src} size)
  string(APPEND entries "    {\"${name}\", s${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.tmp
"// Generated from the English string sources; do not edit.\n"
"#include \"builtin_strings.h\"\n\n"
"namespace kavro {\nnamespace {\n${body}} // namespace\n\n"
"const BuiltInStringSource kBuiltInStringSources[] = {\n${entries}    {nullptr, nullptr, 0},\n};\n\n"
"} // namespace kavro\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
