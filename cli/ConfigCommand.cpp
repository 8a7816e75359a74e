// panelix-cli config: check, map and re-save test configuration files as the station does.
#include <string>
#include <string_view>

#include "Cli.h"
#include "config/TestConfig.h"

namespace {

// A message box has no one to answer it here: its text goes to standard error and the
// caller learns that it was shown.
class StderrPrompter : public Prompter {
public:
    explicit StderrPrompter(std::ostream& err) : errors(err) {}

    MessageAnswer ShowMessage(std::string_view text, std::string_view, MessageButtons,
                              MessageIcon) override {
        errors << text << '\n';
        shown = true;
        return MessageAnswer::Ok;
    }
    std::string ChooseFileToOpen(std::string_view, std::string_view) override { return {}; }
    std::string ChooseFileToSave(std::string_view, std::string_view) override { return {}; }

    bool shown = false;

private:
    std::ostream& errors;
};

int Usage(std::ostream& err) {
    err << "usage: panelix-cli config check FILE | map FILE | save IN OUT\n";
    return cli_exit::kUsage;
}

// Loads path into a record that starts all zero. Returns an exit code; kOk means config holds
// an accepted file.
int Load(CliContext& context, const std::string& path, TestConfig& config) {
    StderrPrompter prompter(context.err);
    uint8_t errorLine = 0;
    if (LoadTestConfig(path, config, errorLine, prompter)) {
        return cli_exit::kOk;
    }
    if (prompter.shown) {
        context.err << "error: cannot open " << path << '\n';
        return cli_exit::kUsage;
    }
    context.out << "error: line " << static_cast<int>(errorLine) << '\n';
    return cli_exit::kRejected;
}

char MapSymbol(NodeClass node) {
    switch (node) {
        case NodeClass::VisibleArea:
            return 'V';
        case NodeClass::Key:
            return 'K';
        case NodeClass::Untested:
            return '-';
        case NodeClass::Outside:
            break;
    }
    return '.';
}

void PrintMap(std::ostream& out, const TestConfig& config) {
    for (uint8_t y = 0; y < TestConfig::kChannels; ++y) {
        std::string row;
        for (uint8_t x = 0; x < 32; ++x) {
            row += MapSymbol(ClassifyNode(config, x, y));
        }
        out << row << '\n';
    }
}

}  // namespace

int RunConfigCommand(CliContext& context) {
    const auto& args = context.args;
    const std::string_view verb = args.empty() ? std::string_view() : args[0];
    const size_t expected = verb == "save" ? 3 : 2;
    if ((verb != "check" && verb != "map" && verb != "save") || args.size() != expected) {
        return Usage(context.err);
    }
    TestConfig config;
    const int loaded = Load(context, args[1], config);
    if (loaded != cli_exit::kOk) {
        return loaded;
    }
    if (verb == "check") {
        context.out << "ok\n";
    } else if (verb == "map") {
        PrintMap(context.out, config);
    } else {
        StderrPrompter prompter(context.err);
        if (!SaveTestConfig(args[2], config, prompter)) {
            context.err << "error: cannot write " << args[2] << '\n';
            return cli_exit::kUsage;
        }
    }
    return cli_exit::kOk;
}
