#pragma once
// The page's files, built into the executable (generated from web/ at build
// time by EmbedAssets.cmake): no route reads anything from disk.

#include <cstddef>
#include <string_view>

namespace tolsa::serve {

struct Asset {
    std::string_view path;  // "/app.js"; the page itself is "/"
    std::string_view contentType;
    std::string_view body;
};

// Null when no file is served at `path`.
const Asset* FindAsset(std::string_view path);

}  // namespace tolsa::serve
