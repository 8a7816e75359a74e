#include "Cli.h"

int RunConfigCommand(CliContext& context) {
    context.err << "usage: panelix-cli config check FILE | map FILE | save IN OUT\n";
    return cli_exit::kUsage;
}
