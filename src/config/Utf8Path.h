#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// In memory every path is UTF-8 text; these are the only conversions to and from the
// platform's path type, so no narrow code page ever sees one.

inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
