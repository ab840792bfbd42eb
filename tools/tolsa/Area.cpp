#include "Area.h"

#include <charconv>

#include "Commands.h"

namespace tolsa::tool {

std::unique_ptr<AttachedArea> AttachOrComplain() {
    std::string why;
    auto area = AttachedArea::Open(&why);
    if (area == nullptr) Complain(why);
    return area;
}

Target Resolve(const AttachedArea& area, std::string_view reference) {
    Target target;
    const int32_t count = area.Count();
    if (!reference.empty() && reference[0] == '#') {
        const std::string_view digits = reference.substr(1);
        int32_t index = -1;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || index < 0 ||
            index >= count) {
            target.why = "no variable at index " + std::string(digits) +
                         (count == 0 ? std::string(" (the area holds no named record)")
                                     : " (there are " + std::to_string(count) + ": #0 to #" +
                                           std::to_string(count - 1) + ")");
            return target;
        }
        target.found = true;
        target.index = index;
        return target;
    }
    // An index built as start-up builds it, so that a name declared twice
    // finds the record every client of the library finds.
    target.index = area.Find(reference);
    target.found = target.index >= 0;
    if (!target.found) target.why = "no variable named " + std::string(reference);
    return target;
}

}  // namespace tolsa::tool
