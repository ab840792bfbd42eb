#pragma once
// The few option forms the subcommands take: --flag, --name VALUE and
// --name=VALUE, with every other argument kept in order as an operand.

#include <optional>
#include <string>
#include <vector>

namespace tolsa::tool {

struct OptionRule {
    std::string name;   // "--count"
    bool takesValue;
};

struct ParsedOptions {
    std::vector<std::pair<std::string, std::string>> options;  // name, value ("" for a flag)
    std::vector<std::string> operands;
    std::string error;  // the first problem, empty when none
    bool Has(const std::string& name) const;
    std::optional<std::string> Value(const std::string& name) const;  // the last one given
};

// Arguments beginning with "--" must be one of `rules`; "--" ends options.
// A lone "-" and negative numbers ("-5") are operands.
ParsedOptions ParseOptions(const std::vector<std::string>& arguments, const std::vector<OptionRule>& rules);

// A whole number from 1 to `maximum`, or nothing.
std::optional<long> PositiveNumber(const std::string& text, long maximum);

}  // namespace tolsa::tool
