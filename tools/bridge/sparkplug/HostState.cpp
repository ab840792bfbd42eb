#include "HostState.h"

#include <cctype>
#include <charconv>
#include <string>

namespace tolsa::sparkplug {
namespace {

// A cursor over the text; every step fails (returns false) at the first
// character it does not expect.
struct Reader {
    std::string_view text;
    std::size_t at = 0;

    void Blanks() {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r')) ++at;
    }
    bool Take(char c) {
        Blanks();
        if (at >= text.size() || text[at] != c) return false;
        ++at;
        return true;
    }
    bool Word(std::string_view word) {
        Blanks();
        if (text.substr(at, word.size()) != word) return false;
        at += word.size();
        return true;
    }
    bool String(std::string& out) {
        if (!Take('"')) return false;
        out.clear();
        while (at < text.size() && text[at] != '"') {
            if (text[at] == '\\' && ++at >= text.size()) return false;
            out += text[at++];  // escapes are kept as their letter: the names read here have none
        }
        return Take('"');
    }
    bool Number(std::string_view& out) {
        Blanks();
        const std::size_t start = at;
        while (at < text.size() && (std::isdigit(static_cast<unsigned char>(text[at])) || std::string_view("+-.eE").find(text[at]) != std::string_view::npos)) ++at;
        out = text.substr(start, at - start);
        return at > start;
    }
    // Any value, nested ones included, without keeping it.
    bool Skip(int depth = 0) {
        Blanks();
        if (at >= text.size() || depth > 64) return false;
        std::string ignored;
        std::string_view number;
        const char c = text[at];
        if (c == '"') return String(ignored);
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++at;
            if (Take(close)) return true;
            do {
                if (c == '{' && !(String(ignored) && Take(':'))) return false;
                if (!Skip(depth + 1)) return false;
            } while (Take(','));
            return Take(close);
        }
        return Word("true") || Word("false") || Word("null") || Number(number);
    }
};

}  // namespace

std::optional<HostState> ParseHostState(std::string_view json) {
    Reader reader{json};
    HostState state;
    bool online_seen = false;
    if (!reader.Take('{')) return std::nullopt;
    if (!reader.Take('}')) {
        do {
            std::string key;
            if (!reader.String(key) || !reader.Take(':')) return std::nullopt;
            if (key == "online") {
                if (reader.Word("true")) state.online = true;
                else if (!reader.Word("false")) return std::nullopt;
                online_seen = true;
            } else if (key == "timestamp") {
                std::string_view number;
                if (!reader.Number(number)) return std::nullopt;
                const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), state.timestamp);
                if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
            } else if (!reader.Skip()) {
                return std::nullopt;
            }
        } while (reader.Take(','));
        if (!reader.Take('}')) return std::nullopt;
    }
    reader.Blanks();
    if (reader.at != json.size() || !online_seen) return std::nullopt;
    return state;
}

}  // namespace tolsa::sparkplug
