#pragma once

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <string>

// Puts the process under a locale whose decimal separator is a comma, as a Qt application
// does on a German desktop, and restores the classic locale when it goes. The C++ global
// locale always gets a comma; the C locale (printf and friends) too when a German locale is
// installed or can be compiled with localedef.
class DecimalCommaLocale {
public:
    DecimalCommaLocale() {
        cLocaleHasComma_ = TrySetCLocale() || (CompileGermanLocale() && TrySetCLocale());
        std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    }
    ~DecimalCommaLocale() {
        std::setlocale(LC_ALL, "C");
        std::locale::global(std::locale::classic());
    }
    DecimalCommaLocale(const DecimalCommaLocale&) = delete;
    DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

    // printf would write "1,50" now.
    bool CLocaleHasComma() const { return cLocaleHasComma_; }

private:
    struct CommaPunct : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
        char do_thousands_sep() const override { return '.'; }
        std::string do_grouping() const override { return "\3"; }
    };

    static bool TrySetCLocale() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8"}) {
            if (std::setlocale(LC_ALL, name) != nullptr) {
                return std::localeconv()->decimal_point[0] == ',';
            }
        }
        return false;
    }

    // A compiled locale is kept in the temporary folder, so only the first run pays for it.
    static bool CompileGermanLocale() {
        const auto dir = std::filesystem::temp_directory_path() / "panelix-locales";
        const auto compiled = dir / "de_DE.UTF-8";
        std::error_code error;
        if (!std::filesystem::exists(compiled, error)) {
            std::filesystem::create_directories(dir, error);
            const std::string command =
                "localedef -i de_DE -f UTF-8 '" + compiled.string() + "' >/dev/null 2>&1";
            if (std::system(command.c_str()) != 0 && !std::filesystem::exists(compiled, error)) {
                return false;
            }
        }
        return setenv("LOCPATH", dir.c_str(), 1) == 0;
    }

    bool cLocaleHasComma_ = false;
};
