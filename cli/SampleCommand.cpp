// panelix-cli sample: acquire a sample from a test on the board, average sample files and
// derive the judging limits from one, as the sample organiser does.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "Cli.h"
#include "app/StatusLog.h"
#include "config/TestConfig.h"
#include "config/Utf8Path.h"
#include "samples/SampleClock.h"
#include "samples/SampleFiles.h"

namespace {

int Usage(std::ostream& err) {
    err << "usage: panelix-cli sample average --config CFG --out DIR F1 F2 F3 ...\n"
           "       panelix-cli sample limits --config CFG --method abs|pct --minus A --plus B "
           "--out DIR FILE\n"
           "       panelix-cli "
        << kBoardOptionUsage << " sample acquire --config CFG --out DIR [--sim-...]\n";
    return cli_exit::kUsage;
}

// A command's words: "--name value" pairs and the files in between.
struct Words {
    std::map<std::string, std::string, std::less<>> options;
    std::vector<std::string> files;
};

std::optional<Words> SplitWords(const std::vector<std::string>& args,
                                std::initializer_list<std::string_view> known) {
    Words words;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (!word.starts_with("--")) {
            words.files.push_back(word);
            continue;
        }
        const std::string name = word.substr(2);
        if (std::find(known.begin(), known.end(), name) == known.end() || i + 1 >= args.size() ||
            words.options.count(name) != 0) {
            return std::nullopt;
        }
        words.options[name] = args[++i];
    }
    for (std::string_view name : known) {
        if (words.options.count(name) == 0) {
            return std::nullopt;
        }
    }
    return words;
}

// Plain decimal digits within 0..max; anything else is no number.
std::optional<uint32_t> ParseBounded(std::string_view text, uint32_t max) {
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > max) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

// Loads path into a record that starts all zero; false after telling why.
bool LoadConfig(CliContext& context, const std::string& path, TestConfig& config) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) {
        context.err << "error: cannot open " << path << '\n';
        return false;
    }
    uint8_t errorLine = 0;
    if (!ReadTestConfigText(in, config, errorLine)) {
        context.err << "error: " << path << " line " << static_cast<int>(errorLine) << '\n';
        return false;
    }
    return true;
}

bool MakeFolder(CliContext& context, const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(PathFromUtf8(folder), error);
    if (error) {
        context.err << "error: cannot create " << folder << ": " << error.message() << '\n';
        return false;
    }
    return true;
}

int Fail(CliContext& context, const SampleFileResult& result) {
    context.err << "error: " << result.message << '\n';
    return cli_exit::kUsage;
}

int RunAverage(CliContext& context) {
    const auto words = SplitWords(context.args, {"config", "out"});
    if (!words || words->files.size() < 3) {
        return Usage(context.err);
    }
    TestConfig config;
    if (!LoadConfig(context, words->options.at("config"), config) ||
        !MakeFolder(context, words->options.at("out"))) {
        return cli_exit::kUsage;
    }
    // The station's working folder is its current directory; without one the relative
    // Config/ below it is the same folder.
    std::error_code error;
    const SampleFolders folders{std::filesystem::current_path(error),
                                PathFromUtf8(words->options.at("out"))};
    SampleMatrix average;
    SampleRecord record;
    const SampleFileResult result =
        // Like the station, never name the average after a sample already in the folder.
        AverageSampleFiles(folders, config, words->files, average, record,
                           FreshSampleClock(folders.tempSampleFolder, LocalTimeNow));
    if (!result.ok) {
        return Fail(context, result);
    }
    context.out << record.path << '\n';
    return cli_exit::kOk;
}

int RunLimits(CliContext& context) {
    const auto words = SplitWords(context.args, {"config", "method", "minus", "plus", "out"});
    if (!words || words->files.size() != 1) {
        return Usage(context.err);
    }
    TestStandard standard;
    if (!ParseTestStandard(words->options.at("method"), words->options.at("minus"),
                           words->options.at("plus"), standard)) {
        return Usage(context.err);
    }
    TestConfig config;
    if (!LoadConfig(context, words->options.at("config"), config) ||
        !MakeFolder(context, words->options.at("out"))) {
        return cli_exit::kUsage;
    }
    SampleMatrix low;
    SampleMatrix high;
    SampleFileResult result = DeriveSampleLimits(words->files[0], config, standard, low, high);
    if (!result.ok) {
        return Fail(context, result);
    }
    const std::filesystem::path folder = PathFromUtf8(words->options.at("out"));
    result = WriteSampleLimitFiles(folder, low, high);
    if (!result.ok) {
        return Fail(context, result);
    }
    context.out << Utf8FromPath(folder / "SampleRawDataLow.ini") << '\n'
                << Utf8FromPath(folder / "SampleRawDataHigh.ini") << '\n';
    return cli_exit::kOk;
}

struct Subcommand {
    std::string_view name;
    int (*run)(CliContext&);
};

const Subcommand kSubcommands[] = {
    {"acquire", RunSampleAcquire},
    {"average", RunAverage},
    {"limits", RunLimits},
};

}  // namespace

bool ParseTestStandard(std::string_view method, std::string_view minus, std::string_view plus,
                       TestStandard& standard) {
    if (method == "abs") {
        const auto below = ParseBounded(minus, 20000);
        const auto above = ParseBounded(plus, std::numeric_limits<uint32_t>::max());
        if (!below || !above) {
            return false;
        }
        standard = {0, *below, *above, 0, 0};
        return true;
    }
    if (method == "pct") {
        const auto below = ParseBounded(minus, 100);
        const auto above = ParseBounded(plus, 100);
        if (!below || !above) {
            return false;
        }
        standard = {1, 0, 0, static_cast<uint8_t>(*below), static_cast<uint8_t>(*above)};
        return true;
    }
    return false;
}

int RunSampleCommand(CliContext& context) {
    if (context.args.empty()) {
        return Usage(context.err);
    }
    for (const auto& subcommand : kSubcommands) {
        if (subcommand.name == context.args[0]) {
            return subcommand.run(context);
        }
    }
    return Usage(context.err);
}
