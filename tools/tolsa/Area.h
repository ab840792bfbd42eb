#pragma once
// The tool's contact with the area: attached passively (tools/attach), never
// through the library, so that looking changes nothing: no start-up, no log
// truncated, no name, type or size rewritten, no area made.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "AttachedArea.h"
#include "Record.h"

namespace tolsa::tool {

// Records, values and patterns are the codec's, shared with every front end.
using namespace codec;
using attach::AttachedArea;

// The attached area, or null after printing why not ("tolsa: no process has
// the variables mapped ..."); the command then ends with kExitNoArea.
std::unique_ptr<AttachedArea> AttachOrComplain();

// A command-line reference to a variable: a full name, or #INDEX.
struct Target {
    bool found = false;
    int32_t index = -1;
    std::string why;  // the message when not found
};
Target Resolve(const AttachedArea& area, std::string_view reference);

}  // namespace tolsa::tool
