# Writes a C++ source holding the bytes of files, so that the program
# carries them (its settings catalogue, the studio's page) without looking
# for them on disk. Run as: cmake -DOUTPUT=file.cpp -DBASE=folder
# -DFILES="a;b" -P embed_files.cmake; names are kept relative to BASE.
set(text "// Written by embed_files.cmake at build time; do not edit.\n#include \"cli/embedded.h\"\n\nnamespace tw::cli {\n\nnamespace {\n")
set(entries "")
set(index 0)
foreach(file IN LISTS FILES)
  file(READ ${BASE}/${file} hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],0x[0-9a-f][0-9a-f],)" "\\1\n" bytes "${bytes}")
  string(APPEND text "const unsigned char kFile${index}[] = {\n${bytes}0};\n")
  string(APPEND entries "    {\"${file}\", std::string_view(reinterpret_cast<const char*>(kFile${index}), ${size})},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND text "\n}  // namespace\n\nconst std::vector<EmbeddedFile>& embeddedFiles() {\n  static const std::vector<EmbeddedFile> files = {\n${entries}  };\n  return files;\n}\n\n}  // namespace tw::cli\n")
file(WRITE ${OUTPUT}.tmp "${text}")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
