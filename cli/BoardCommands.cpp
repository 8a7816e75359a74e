// panelix-cli board: the board's information header, and the controller brought up as the
// station does it with its object table.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "Cli.h"
#include "HeadlessStation.h"
#include "app/Format.h"

namespace {

int BoardUsage(std::ostream& err) {
    err << "usage: panelix-cli " << kBoardOptionUsage << " board probe|info [--sim-...]\n";
    return cli_exit::kUsage;
}

// header holds at least the 7 bytes of the information header.
std::string HeaderLine(std::span<const uint8_t> header) {
    return "family=" + FormatDecimal(header[0]) + " variant=" + FormatDecimal(header[1]) +
           " version=" + FormatDecimal(header[2]) + " build=" + FormatDecimal(header[3]) +
           " matrix=" + FormatDecimal(header[4]) + "x" + FormatDecimal(header[5]) +
           " objects=" + FormatDecimal(header[6]);
}

// "i type address size instances ids first-last"; the size in bytes (1..256).
std::string EntryLine(const ObjectTable& table, int i) {
    const std::string ids = table.ID_perInstance[i] == 0 ? "-"
                                                         : FormatDecimal(table.report_L[i]) + "-" +
                                                               FormatDecimal(table.report_H[i]);
    const int size = table.size_Object[i] == 0 ? 256 : table.size_Object[i];
    return FormatDecimal(i) + " " + FormatDecimal(table.type_IC[i]) + " " +
           FormatDecimal(table.StartAddress[i]) + " " + FormatDecimal(size) + " " +
           FormatDecimal(table.instances[i]) + " " + FormatDecimal(table.ID_perInstance[i]) + " " +
           ids;
}

// The header read straight from the board, without the bring-up.
int Probe(CliContext& context, HidBackend& backend) {
    HeadlessStation headless(context, backend);
    if (!headless.OpenBoard()) {
        context.err << "error: no board\n";
        return cli_exit::kNoBoard;
    }
    Station& station = headless.station;
    if (!station.board.ReadMemory(0, 7)) {
        return headless.Fail("the board did not answer");
    }
    context.out << HeaderLine(station.board.AnswerData()) << "\n";
    return cli_exit::kOk;
}

// The table is printed whenever the link check passed, so a bring-up that stops later shows
// what the controller holds.
int Info(CliContext& context, HidBackend& backend) {
    HeadlessStation headless(context, backend);
    const BoardState state = headless.BringUp();
    if (state == BoardState::NoBoard) {
        context.err << "error: no board\n";
        return cli_exit::kNoBoard;
    }
    if (state == BoardState::NoLink) {
        return headless.Fail("no link to the controller");
    }
    const ObjectTable& table = headless.station.objectTable;
    context.out << HeaderLine(table.image) << "\n";
    for (int i = 1; i <= table.objectCount; ++i) {
        context.out << EntryLine(table, i) << "\n";
    }
    if (state != BoardState::Ready) {
        return headless.Fail("controller not ready");
    }
    context.out << "ready\n";
    return cli_exit::kOk;
}

}  // namespace

int RunBoardCommand(CliContext& context) {
    std::vector<std::string> words = context.args;
    const std::unique_ptr<HidBackend> backend = ChooseBoard(context, words);
    if (!backend) {
        return cli_exit::kUsage;
    }
    if (words.size() == 1 && words[0] == "probe") {
        return Probe(context, *backend);
    }
    if (words.size() == 1 && words[0] == "info") {
        return Info(context, *backend);
    }
    return BoardUsage(context.err);
}
