#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The station's INI files, read and written as the Windows profile functions do, on every
// platform. The only code that knows the INI syntax.
//
// Syntax: a section line starts with "[" and names the text up to its last "]"; a key line
// is name "=" value. Names and values are taken without surrounding blanks (nor a line's
// CR); quotes are not removed. Lines end in LF or CR LF. Lines before the first section and
// lines without "=" belong to no key. Section and key names match without regard to ASCII
// case; the first matching section and, within it, the first matching key count.
//
// Every call names the file by its path and rereads it: simple, and right when other code
// touches the file in between. Any thread, but calls on one file must not overlap.

// The file's bytes, or nothing when it is missing, a folder or unreadable. For a reader that
// looks up many keys of one file with FindProfileValue.
std::optional<std::string> ReadProfileText(const std::filesystem::path& file);

// The value of key, or nothing when the section or the key is missing.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);

// text with key set to value: the key line replaced in place (keeping the file's spelling of
// the name), or a new line appended after the section's last key line (before the blank
// lines and ";" comments that precede the next section), or "[section]" and the key
// appended at the end. New and replaced lines end in CR LF; every other byte stays.
// Nothing when the line could not be read back as meant: a CR or LF anywhere, an empty or
// blank-edged name, "=" in the key or a key that starts with "[". Blanks around value are
// written but not read back.
std::optional<std::string> SetProfileValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value);

// GetPrivateProfileInt: leading blanks, an optional sign and digits up to the first other
// character (no digits gives 0), kept to its low 32 bits; defaultValue when the file, the
// section or the key is missing or the value is empty.
int32_t ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, int32_t defaultValue);

// GetPrivateProfileString with a 512-character buffer: the value, or defaultValue when the
// file, the section or the key is missing; at most 511 bytes, cut back to a whole UTF-8
// character.
std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view defaultValue);

// WritePrivateProfileString: creates the file, the section or the key as needed (see
// SetProfileValue). Returns false and leaves the file as it was when it cannot be read or
// written, or when SetProfileValue refuses the names or the value. The new content replaces
// the file in one rename, so a failure part-way never leaves half a file.
bool WriteProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value);
