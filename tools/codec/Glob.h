#pragma once
// Shell-style wildcard matching of variable names: '*' any run of characters,
// '?' one character, '[abc]', '[a-z]' and '[!a-z]' (or '[^a-z]') one character
// of a set, '\' makes the next character literal. Case matters, as it does in
// the library's name lookup. Written here because fnmatch is not on Windows.

#include <string_view>

namespace tolsa::codec {

bool GlobMatch(std::string_view pattern, std::string_view text);

}  // namespace tolsa::codec
