#include "buttoncontrol/PropertyBag.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

void PropertyBag::WriteProperty(std::string_view name, const PropertyValue& value, const PropertyValue& defaultValue) {
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return SameName(e.first, name); });
    // A default written over an earlier value must clear it, or the old value would come back on reading.
    if (it != entries_.end()) entries_.erase(it);
    if (value == defaultValue) return;
    entries_.emplace_back(std::string(name), value);
}

PropertyValue PropertyBag::ReadProperty(std::string_view name, const PropertyValue& defaultValue) const {
    for (const auto& e : entries_)
        if (SameName(e.first, name)) return e.second;
    return defaultValue;
}

bool PropertyBag::Contains(std::string_view name) const {
    return std::any_of(entries_.begin(), entries_.end(), [&](const auto& e) { return SameName(e.first, name); });
}

int32_t PropertyNumber(const PropertyValue& v) {
    if (const auto* n = std::get_if<int32_t>(&v)) return *n;
    if (const auto* s = std::get_if<std::string>(&v)) {
        int32_t n = 0;
        const char* first = s->data();
        while (first != s->data() + s->size() && *first == ' ') ++first;
        std::from_chars(first, s->data() + s->size(), n);
        return n;
    }
    return 0;
}

std::string PropertyText(const PropertyValue& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* n = std::get_if<int32_t>(&v)) return std::to_string(*n);
    return std::get<FontDescription>(v).name;
}
