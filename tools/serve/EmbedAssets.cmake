# Writes a C++ source holding the page's files as byte arrays, with their
# paths and types. Run as: cmake -DOUT=file.cpp -DLIST=assets.list -P, the
# list holding one "url|type|path" a line.
file(STRINGS "${LIST}" FILES)
set(body "// Generated from web/ by EmbedAssets.cmake: do not edit.\n#include \"Assets.h\"\n\nnamespace tolsa::serve {\nnamespace {\n")
set(table "")
set(n 0)
foreach(entry IN LISTS FILES)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 url)
  list(GET parts 1 type)
  list(GET parts 2 path)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
  string(APPEND body "const unsigned char kFile${n}[] = {\n${bytes}0};\n")
  string(APPEND table "    {\"${url}\", \"${type}\", {reinterpret_cast<const char*>(kFile${n}), ${size}}},\n")
  math(EXPR n "${n} + 1")
endforeach()
string(APPEND body "const Asset kAssets[] = {\n${table}};\n}  // namespace\n\n"
  "const Asset* FindAsset(std::string_view path) {\n"
  "    for (const auto& asset : kAssets)\n        if (asset.path == path) return &asset;\n    return nullptr;\n}\n\n"
  "}  // namespace tolsa::serve\n")
file(WRITE "${OUT}.tmp" "${body}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
