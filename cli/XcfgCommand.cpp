// panelix-cli xcfg: check controller configuration files, save a controller's configuration
// and program a file into it, as the programming window does.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Cli.h"
#include "HeadlessStation.h"
#include "programming/Xcfg.h"

namespace {

int Usage(std::ostream& err) {
    err << "usage: panelix-cli " << kBoardOptionUsage
        << " xcfg check FILE | save FILE | program FILE [--sim-...]\n";
    return cli_exit::kUsage;
}

int ExitCode(const XcfgLoadResult& result) {
    switch (result.verdict) {
        case XcfgVerdict::Accepted:
            return cli_exit::kOk;
        case XcfgVerdict::NotOpenable:
            return cli_exit::kUsage;
        case XcfgVerdict::Rejected:
        case XcfgVerdict::HeaderMissing:
            break;
    }
    return cli_exit::kRejected;
}

int Check(CliContext& context, const std::string& path) {
    ConfigRecordSets sets;
    const XcfgLoadResult result = LoadXcfg(path, sets);
    if (result.verdict == XcfgVerdict::Accepted) {
        context.out << "accepted " << int{sets.fileRecordCount} << "\n";
    } else {
        context.out << result.message << "\n";
    }
    return ExitCode(result);
}

// Opens the board, lets timer 1 bring the controller up once and runs work on the ready
// station; exit 3 when there is no board or the controller did not come up.
int WithReadyController(CliContext& context, HidBackend& backend,
                        const std::function<int(HeadlessStation&)>& work) {
    HeadlessStation headless(context, backend);
    switch (headless.BringUp()) {
        case BoardState::Ready:
            return work(headless);
        case BoardState::NoBoard:
            context.err << "error: no board\n";
            return cli_exit::kNoBoard;
        case BoardState::NoLink:
        case BoardState::NotReady:
            break;
    }
    return headless.Fail("controller not ready");
}

int Save(CliContext& context, HidBackend& backend, const std::string& path) {
    return WithReadyController(context, backend, [&](HeadlessStation& headless) {
        Station& station = headless.station;
        ConfigRecordSets sets;
        const XcfgOutcome outcome = SaveXcfg(path, station.controller, sets);
        if (outcome.ok) {
            context.out << "saved " << SectionsToWrite(ViewOfTable(station.objectTable)).size()
                        << "\n";
            return cli_exit::kOk;
        }
        context.err << outcome.message << "\n";
        if (outcome.message == xcfg::kChipReadFailed) {
            headless.PrintLog(context.err);
            return cli_exit::kNoBoard;
        }
        return outcome.message == xcfg::kObjectTooLarge ? cli_exit::kRejected : cli_exit::kUsage;
    });
}

// The file is checked before the board is touched: a rejected file never gets near it.
int Program(CliContext& context, HidBackend& backend, const std::string& path) {
    ConfigRecordSets sets;
    const XcfgLoadResult loaded = LoadXcfg(path, sets);
    if (loaded.verdict != XcfgVerdict::Accepted) {
        context.out << loaded.message << "\n";
        return ExitCode(loaded);
    }
    return WithReadyController(context, backend, [&](HeadlessStation& headless) {
        const XcfgOutcome outcome = WriteChipConfiguration(
            headless.station.controller, sets,
            [&](int percent) { context.out << "progress " << percent << "\n"; });
        if (outcome.ok) {
            context.out << "done\n";
            return cli_exit::kOk;
        }
        context.out << outcome.message << "\n";
        if (outcome.message == xcfg::kProgramFailed) {
            headless.PrintLog(context.err);
            return cli_exit::kNoBoard;
        }
        return cli_exit::kRejected;
    });
}

}  // namespace

int RunXcfgCommand(CliContext& context) {
    std::vector<std::string> words = context.args;
    const bool check = !words.empty() && words[0] == "check";
    std::unique_ptr<HidBackend> backend;
    if (!check) {
        backend = ChooseBoard(context, words);
        if (!backend) {
            return cli_exit::kUsage;
        }
    }
    if (words.size() != 2) {
        return Usage(context.err);
    }
    const std::string& verb = words[0];
    const std::string& path = words[1];
    if (check) {
        return Check(context, path);
    }
    if (verb == "save") {
        return Save(context, *backend, path);
    }
    if (verb == "program") {
        return Program(context, *backend, path);
    }
    return Usage(context.err);
}
