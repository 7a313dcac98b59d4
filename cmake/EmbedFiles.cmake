# Writes a C++ source that holds files as byte arrays, each with the path it is served at, its
# content type and a strong ETag (the first 32 hex digits of its SHA-256), as the table
#   std::span<const EmbeddedAsset> <function>()
# Run as a script: cmake -DMANIFEST=<file> -P EmbedFiles.cmake, the manifest setting
#   EMBED_OUTPUT    the source to write
#   EMBED_INCLUDE   the header that declares the function
#   EMBED_FUNCTION  the function's name
#   EMBED_ENTRIES   a list of "path|content type|file" (a text type gets "; charset=utf-8")
# (kept in a file so that the list's ';' and '|' need no quoting on a command line).
include(${MANIFEST})

set(arrays "")
set(table "")
set(index 0)
foreach(entry IN LISTS EMBED_ENTRIES)
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 served_path)
  list(GET fields 1 content_type)
  list(GET fields 2 file)
  if(content_type MATCHES "^text/")
    string(APPEND content_type "; charset=utf-8")
  endif()
  file(READ "${file}" hex HEX)
  file(SHA256 "${file}" digest)
  string(SUBSTRING "${digest}" 0 32 etag)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  # Twenty bytes a line; a zero at the end, so an empty file still makes an array.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){20})" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "// ${file}\nconst unsigned char asset${index}[] = {\n${bytes}0};\n\n")
  string(APPEND table "        {\"${served_path}\", \"${content_type}\",\n"
                      "         {reinterpret_cast<const char*>(asset${index}), ${size}}, \"\\\"${etag}\\\"\"},\n")
  math(EXPR index "${index} + 1")
endforeach()

set(text "// Made by cmake/EmbedFiles.cmake: the files of the live view's page built into the program.\n")
string(APPEND text "#include \"${EMBED_INCLUDE}\"\n\nnamespace {\n\n${arrays}} // namespace\n\n")
string(APPEND text "std::span<const EmbeddedAsset> ${EMBED_FUNCTION}()\n{\n")
string(APPEND text "    static const EmbeddedAsset assets[] = {\n${table}    };\n    return assets;\n}\n")

file(WRITE "${EMBED_OUTPUT}" "${text}")
