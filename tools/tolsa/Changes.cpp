#include "Changes.h"

#include <map>

#include "ValueFormat.h"

namespace tolsa::tool {

std::vector<bool> Changes(const std::vector<Record>& before, const std::vector<Record>& now) {
    std::vector<bool> changed(now.size(), false);
    if (before.empty()) return changed;
    std::map<int32_t, const Record*> earlier;
    for (const auto& record : before) earlier[record.index] = &record;
    for (std::size_t i = 0; i < now.size(); ++i) {
        const auto found = earlier.find(now[i].index);
        changed[i] = found == earlier.end() || found->second->name != now[i].name ||
                     found->second->type != now[i].type || DecodeValue(*found->second) != DecodeValue(now[i]);
    }
    return changed;
}

}  // namespace tolsa::tool
