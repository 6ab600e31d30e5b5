#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

// A font as the layout description keeps it. Size in points.
struct FontDescription {
    std::string name;
    double sizePoints = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    bool operator==(const FontDescription&) const = default;
};

// Numbers of every width (Boolean, byte, 16- and 32-bit) travel as int32_t;
// the reader narrows them to the field's type.
using PropertyValue = std::variant<int32_t, std::string, FontDescription>;

// The named values that a container keeps for one control, in the order they
// were written. Names compare without regard to case.
class PropertyBag {
public:
    // Leaves the entry out when the value equals its default, so a description
    // carries only what differs from a freshly placed control.
    void WriteProperty(std::string_view name, const PropertyValue& value, const PropertyValue& defaultValue);
    PropertyValue ReadProperty(std::string_view name, const PropertyValue& defaultValue) const;
    bool Contains(std::string_view name) const;
    const std::vector<std::pair<std::string, PropertyValue>>& Entries() const { return entries_; }

private:
    std::vector<std::pair<std::string, PropertyValue>> entries_;
};

// Conversions with which a reader takes a value of whatever kind was stored.
int32_t PropertyNumber(const PropertyValue& v);
std::string PropertyText(const PropertyValue& v);
