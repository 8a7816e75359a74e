#include "config/IniProfile.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "app/Format.h"

namespace {

constexpr size_t kStringBuffer = 512;

struct Line {
    size_t begin = 0;  // first byte
    size_t end = 0;    // past the content, before any CR LF or LF
    size_t next = 0;   // first byte of the following line
    bool terminated = false;
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        const size_t lf = text.find('\n', begin);
        Line line;
        line.begin = begin;
        line.terminated = lf != std::string_view::npos;
        line.next = line.terminated ? lf + 1 : text.size();
        line.end = line.terminated ? lf : text.size();
        if (line.end > begin && text[line.end - 1] == '\r') {
            --line.end;
        }
        lines.push_back(line);
        begin = line.next;
    }
    return lines;
}

std::string_view Trim(std::string_view text) {
    constexpr std::string_view kBlank = " \t\r\v\f";
    const size_t first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view Content(std::string_view text, const Line& line) {
    return text.substr(line.begin, line.end - line.begin);
}

std::optional<std::string_view> SectionName(std::string_view content) {
    const std::string_view trimmed = Trim(content);
    const size_t close = trimmed.rfind(']');
    if (trimmed.empty() || trimmed.front() != '[' || close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(trimmed.substr(1, close - 1));
}

std::optional<std::string_view> KeyName(std::string_view content) {
    const size_t equals = content.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(content.substr(0, equals));
}

// A new key goes after the last line of its section that carries something: blank lines
// and ";" comments at the section's end belong to what follows.
bool CarriesContent(std::string_view content) {
    const std::string_view trimmed = Trim(content);
    return !trimmed.empty() && trimmed.front() != ';';
}

struct Place {
    std::optional<size_t> header;  // line index of the first matching section
    std::optional<size_t> key;     // line index of its first matching key
    size_t last = 0;               // last line of that section carrying content
};

Place Locate(std::string_view text, const std::vector<Line>& lines, std::string_view section,
             std::string_view key) {
    Place place;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view content = Content(text, lines[i]);
        if (const auto name = SectionName(content)) {
            if (place.header) {
                break;
            }
            if (SameName(*name, section)) {
                place.header = i;
                place.last = i;
            }
            continue;
        }
        if (!place.header) {
            continue;
        }
        if (CarriesContent(content)) {
            place.last = i;
        }
        const auto name = KeyName(content);
        if (!place.key && name && SameName(*name, key)) {
            place.key = i;
        }
    }
    return place;
}

bool Refused(std::string_view section, std::string_view key, std::string_view value) {
    auto hasLineEnd = [](std::string_view text) {
        return text.find_first_of("\r\n") != std::string_view::npos;
    };
    auto badName = [](std::string_view name) { return name.empty() || Trim(name) != name; };
    return hasLineEnd(section) || hasLineEnd(key) || hasLineEnd(value) || badName(section) ||
           badName(key) || key.find('=') != std::string_view::npos || key.front() == '[';
}

// What fits the profile functions' buffer with its terminator, whole characters only.
std::string CutToBuffer(std::string_view text) {
    size_t size = std::min(text.size(), kStringBuffer - 1);
    if (size < text.size()) {
        while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) {
            --size;
        }
    }
    return std::string(text.substr(0, size));
}

std::optional<std::string> ReadValue(const std::filesystem::path& file, std::string_view section,
                                     std::string_view key) {
    const std::optional<std::string> text = ReadProfileText(file);
    if (!text) {
        return std::nullopt;
    }
    return FindProfileValue(*text, section, key);
}

}  // namespace

std::optional<std::string> ReadProfileText(const std::filesystem::path& file) {
    std::error_code ignored;
    if (std::filesystem::is_directory(file, ignored)) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
    const std::vector<Line> lines = SplitLines(text);
    const Place place = Locate(text, lines, section, key);
    if (!place.key) {
        return std::nullopt;
    }
    const std::string_view content = Content(text, lines[*place.key]);
    return std::string(Trim(content.substr(content.find('=') + 1)));
}

std::optional<std::string> SetProfileValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value) {
    if (Refused(section, key, value)) {
        return std::nullopt;
    }
    const std::vector<Line> lines = SplitLines(text);
    const Place place = Locate(text, lines, section, key);
    std::string result(text);
    if (place.key) {
        const Line& line = lines[*place.key];
        const std::string_view content = Content(text, line);
        const std::string_view name = *KeyName(content);
        // Keep the line's own spelling and indentation of the name.
        std::string replaced(
            content.substr(0, static_cast<size_t>(name.data() + name.size() - content.data())));
        replaced.append("=").append(value).append("\r\n");
        result.replace(line.begin, line.next - line.begin, replaced);
        return result;
    }
    std::string added = std::string(key) + "=" + std::string(value) + "\r\n";
    if (place.header) {
        const Line& after = lines[place.last];
        if (!after.terminated) {
            added.insert(0, "\r\n");
        }
        result.insert(after.next, added);
        return result;
    }
    if (!result.empty() && result.back() != '\n') {
        result += "\r\n";
    }
    result.append("[").append(section).append("]\r\n").append(added);
    return result;
}

int32_t ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, int32_t defaultValue) {
    const std::optional<std::string> value = ReadValue(file, section, key);
    if (!value || value->empty()) {
        return defaultValue;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(ParseLeadingInteger(*value)));
}

std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view defaultValue) {
    const std::optional<std::string> value = ReadValue(file, section, key);
    return CutToBuffer(value ? std::string_view(*value) : defaultValue);
}

bool WriteProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value) {
    std::error_code error;
    const bool exists = std::filesystem::exists(file, error);
    if (error) {
        return false;
    }
    std::string text;
    if (exists) {
        std::optional<std::string> old = ReadProfileText(file);
        // Opening for append changes nothing but tells whether the file may be written.
        if (!old || !std::ofstream(file, std::ios::binary | std::ios::app)) {
            return false;
        }
        text = std::move(*old);
    }
    const std::optional<std::string> updated = SetProfileValue(text, section, key, value);
    if (!updated) {
        return false;
    }
    std::filesystem::path fresh = file;
    fresh += ".new";
    {
        std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
        out.write(updated->data(), static_cast<std::streamsize>(updated->size()));
        out.close();
        if (out.fail()) {
            std::filesystem::remove(fresh, error);
            return false;
        }
    }
    if (exists) {
        const std::filesystem::file_status old = std::filesystem::status(file, error);
        if (!error) {
            std::filesystem::permissions(fresh, old.permissions(), error);
        }
    }
    std::filesystem::rename(fresh, file, error);
    if (error) {
        std::filesystem::remove(fresh, error);
        return false;
    }
    return true;
}
