#pragma once
// GROUP_ID/EDGE_NODE_ID and a host id as the command line gives them: each
// id is one topic level, so none may be empty or hold '/', '+' or '#'.

#include <string>
#include <string_view>

namespace tolsa::sparkplug {

inline bool ValidId(std::string_view id) {
    return !id.empty() && id.find_first_of("/+#") == std::string_view::npos;
}

inline bool ParseNodeId(std::string_view text, std::string& group, std::string& node, std::string& error) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos || !ValidId(text.substr(0, slash)) || !ValidId(text.substr(slash + 1))) {
        error = "'" + std::string(text) + "' is not GROUP_ID/EDGE_NODE_ID (two non-empty parts without '/', '+' or '#')";
        return false;
    }
    group = text.substr(0, slash);
    node = text.substr(slash + 1);
    return true;
}

}  // namespace tolsa::sparkplug
