// Any bytes as an INI file: lookups never fail, and a write of a key reads back as written
// while every other key keeps its value.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "config/IniProfile.h"

namespace {

constexpr std::string_view kSections[] = {"s", "S", "Sample_Context", "[s]"};
constexpr std::string_view kKeys[] = {"k", "K", "Y0", ";k"};

bool SameName(std::string_view a, std::string_view b) {
    auto lower = [](std::string_view s) {
        std::string text(s);
        for (char& c : text) {
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        }
        return text;
    };
    return lower(a) == lower(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const uint8_t pick = size > 0 ? data[0] : 0;
    const std::string_view section = kSections[pick % 4];
    const std::string_view key = kKeys[(pick / 4) % 4];
    std::string value;
    for (char c : text.substr(0, 12)) {
        if (c >= '0' && c <= 'z') {
            value += c;
        }
    }

    const std::optional<std::string> updated = SetProfileValue(text, section, key, value);
    if (!updated || FindProfileValue(*updated, section, key) != value) {
        std::abort();
    }
    for (std::string_view otherSection : kSections) {
        for (std::string_view otherKey : kKeys) {
            if (SameName(otherSection, section) && SameName(otherKey, key)) {
                continue;
            }
            if (FindProfileValue(text, otherSection, otherKey) !=
                FindProfileValue(*updated, otherSection, otherKey)) {
                std::abort();
            }
        }
    }
    return 0;
}
