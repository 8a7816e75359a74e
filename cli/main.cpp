// panelix-cli: the engineer's command-line view of the station's core.
#include <string>
#include <string_view>

#include "Cli.h"

namespace {

struct Command {
    std::string_view name;
    int (*run)(CliContext&);
};

const Command kCommands[] = {
    {"config", RunConfigCommand}, {"xcfg", RunXcfgCommand}, {"board", RunBoardCommand},
    {"sample", RunSampleCommand}, {"test", RunTestCommand},
};

int Usage(std::ostream& err) {
    err << "usage: panelix-cli " << kBoardOptionUsage
        << " COMMAND ...\n"
           "boards: usb (the real board, the default), sim (the simulated board, shaped by\n"
           "  --sim-... options after the command), tcp:HOST:PORT (a board or panelix-sim\n"
           "  reached over TCP)\n"
           "commands:\n"
           "  config check FILE | config map FILE | config save IN OUT\n"
           "  xcfg check FILE | xcfg save FILE | xcfg program FILE\n"
           "  board probe | board info\n"
           "  sample acquire --config CFG --out DIR\n"
           "  sample average --config CFG --out DIR F1 F2 F3 ...\n"
           "  sample limits --config CFG --method abs|pct --minus A --plus B --out DIR FILE\n"
           "  test --config FILE [--runs N] [--sample FILE --method abs|pct --minus A --plus B]\n";
    return cli_exit::kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    CliContext context;
    int i = 1;
    while (i < argc && std::string_view(argv[i]).starts_with("--")) {
        const std::string_view option = argv[i];
        if (option == "--board" && i + 1 < argc) {
            context.board = argv[i + 1];
            i += 2;
        } else if (option.starts_with("--board=")) {
            context.board = std::string(option.substr(8));
            ++i;
        } else {
            return Usage(context.err);
        }
    }
    if (i >= argc) {
        return Usage(context.err);
    }
    const std::string_view name = argv[i];
    context.args.assign(argv + i + 1, argv + argc);
    for (const auto& command : kCommands) {
        if (command.name == name) {
            return command.run(context);
        }
    }
    return Usage(context.err);
}
