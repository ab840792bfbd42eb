#include "Options.h"

#include <charconv>

namespace tolsa::tool {

bool ParsedOptions::Has(const std::string& name) const {
    for (const auto& option : options)
        if (option.first == name) return true;
    return false;
}

std::optional<std::string> ParsedOptions::Value(const std::string& name) const {
    std::optional<std::string> value;
    for (const auto& option : options)
        if (option.first == name) value = option.second;
    return value;
}

ParsedOptions ParseOptions(const std::vector<std::string>& arguments, const std::vector<OptionRule>& rules) {
    ParsedOptions parsed;
    bool operandsOnly = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (operandsOnly || argument.rfind("--", 0) != 0) {
            parsed.operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            operandsOnly = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const OptionRule* rule = nullptr;
        for (const auto& candidate : rules)
            if (candidate.name == name) rule = &candidate;
        if (rule == nullptr) {
            if (parsed.error.empty()) parsed.error = "unknown option '" + name + "'";
            continue;
        }
        if (!rule->takesValue) {
            if (equals != std::string::npos && parsed.error.empty()) parsed.error = name + " takes no value";
            parsed.options.emplace_back(name, "");
        } else if (equals != std::string::npos) {
            parsed.options.emplace_back(name, argument.substr(equals + 1));
        } else if (i + 1 < arguments.size()) {
            parsed.options.emplace_back(name, arguments[++i]);
        } else if (parsed.error.empty()) {
            parsed.error = name + " needs a value";
        }
    }
    return parsed;
}

std::optional<long> PositiveNumber(const std::string& text, long maximum) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1 || value > maximum)
        return std::nullopt;
    return value;
}

}  // namespace tolsa::tool
