// The programming window's decisions over a scripted controller, view and prompter.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/Sleeper.h"
#include "app/StatusLog.h"
#include "controller/ControllerCommands.h"
#include "programming/ProgrammingSession.h"
#include "support/FakeProgrammingView.h"
#include "support/FakeStationView.h"
#include "unit/controller/FakeController.h"

namespace {

namespace fs = std::filesystem;

const std::string kData = PANELIX_TEST_DATA_DIR;

std::tm FixedTime() {
    std::tm t{};
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    return t;
}

std::string TestFolder() {
    const fs::path folder =
        fs::path(::testing::TempDir()) /
        ("programming-" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder);
    fs::create_directories(folder / "Config");
    return folder.string();
}

// The standard controller with two configuration objects, its memory filled with a pattern.
class SessionTest : public ::testing::Test {
protected:
    SessionTest() {
        for (size_t a = 0x0100; a < 0x0500; ++a) {
            fake.memory[a] = static_cast<uint8_t>(a * 7 + 3);
        }
    }
    ~SessionTest() override { fs::remove_all(folder); }

    // The open chooser answers path; then "导入文件".
    void Import(const std::string& path) {
        prompter.openAnswers.push_back(path);
        session.OnImport();
    }

    bool AnyWrite() const {
        return fake.Count([](const Transaction& t) { return t.write; }) > 0;
    }

    const std::vector<FakeEntry> entries = [] {
        std::vector<FakeEntry> e = StandardEntries();
        e.push_back({38, 0x0400, 20, 1, 0});
        e.push_back({7, 0x0420, 70, 1, 0});
        return e;
    }();
    FakeController fake{entries};
    ObjectTable table = ParsedTable(entries);
    DiagnosticData data;
    StatusLog log{FixedTime};
    CountingSleeper sleeper{false};
    ControllerCommands commands{fake, table, data, log, sleeper};
    ConfigRecordSets records;
    bool ready = true;
    const std::string folder = TestFolder();
    FakeProgrammingView view;
    FakeStationView prompter;
    ProgrammingSession session{{folder, commands, records, log, ready}, view, prompter};
};

TEST(ExportPathFor, FixesTheExtensionByTheNamePart) {
    const struct {
        const char* chosen;
        std::optional<std::string> saved;
    } cases[] = {
        {"cfg", "cfg.xcfg"},
        {"cfg.txt", "cfg.xcfg"},
        {"cfg.XCFG", "cfg.xcfg"},
        {"cfg.xcfg", "cfg.xcfg"},
        {"a.b.txt", "a.b.xcfg"},
        {"cfg.", "cfg.xcfg"},
        {".xcfg", std::nullopt},
        {".txt", std::nullopt},
        // Only the name after the last separator counts: a dot in a folder is no extension.
        {"/work/v1.2/cfg", "/work/v1.2/cfg.xcfg"},
        {"C:\\v1.2\\cfg.txt", "C:\\v1.2\\cfg.xcfg"},
        {"/work/v1.2/.xcfg", std::nullopt},
        {"/work/Config/", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExportPathFor(c.chosen), c.saved) << c.chosen;
    }
}

TEST_F(SessionTest, OpensWithEveryActionButtonDisabledInManualMode) {
    session.OnInitDialog();
    EXPECT_EQ(view.ActionButtons(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(view.enabled[ids::kFlashOfflineRadio], false);
    EXPECT_EQ(view.checkedRadio, ids::kFlashManualRadio);
    EXPECT_EQ(view.progress, std::vector<int>{0});
    EXPECT_EQ(view.texts[ids::kFlashImportPath], "");
    EXPECT_EQ(view.texts[ids::kFlashExportPath], "");
    EXPECT_EQ(session.mode(), 0);
    EXPECT_TRUE(session.importPath().empty());
}

// Steps: 0..2 select that mode; kImport imports a readable file.
constexpr int kImport = -1;

TEST_F(SessionTest, ActionButtonFollowsTheModeOnceAFileIsImported) {
    const struct {
        const char* name;
        std::vector<int> steps;
        std::vector<bool> buttons;  // 1158, 1159, 1160
    } cases[] = {
        {"ImportInManual", {kImport}, {true, false, false}},
        {"ModeBeforeImportChangesNothing", {1}, {false, false, false}},
        {"ImportAfterContinuous", {1, kImport}, {false, true, false}},
        {"ContinuousAfterImport", {kImport, 1}, {false, true, false}},
        {"OfflineAfterImport", {kImport, 2}, {false, false, true}},
        {"BackToManual", {kImport, 2, 0}, {true, false, false}},
        {"ModeOutOfRangeIgnored", {kImport, 3}, {true, false, false}},
    };
    const std::string file = kData + "/xcfg/saved.xcfg";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        session.OnInitDialog();
        session.OnModeSelected(0);
        for (const int step : c.steps) {
            if (step == kImport) {
                Import(file);
            } else {
                session.OnModeSelected(step);
            }
        }
        EXPECT_EQ(view.ActionButtons(), c.buttons);
    }
}

TEST_F(SessionTest, ImportOffersXcfgFilesInConfigAndIgnoresWhatCannotBeRead) {
    session.OnInitDialog();
    const std::string file = kData + "/xcfg/saved.xcfg";
    Import(file);
    ASSERT_EQ(prompter.openRequests.size(), 1u);
    EXPECT_EQ(prompter.openRequests[0].filter, "烧录文件(*.xcfg)|*.xcfg||");
    EXPECT_EQ(prompter.openRequests[0].initialName, folder + "/Config/.xcfg");
    EXPECT_EQ(session.importPath(), file);
    EXPECT_EQ(view.texts[ids::kFlashImportPath], file);

    session.OnModeSelected(1);
    for (const std::string& ignored : {std::string(), folder + "/missing.xcfg", folder}) {
        SCOPED_TRACE(ignored);
        Import(ignored);
        EXPECT_EQ(session.importPath(), file);
        EXPECT_EQ(view.texts[ids::kFlashImportPath], file);
        EXPECT_EQ(view.ActionButtons(), (std::vector<bool>{false, true, false}));
    }
    EXPECT_TRUE(fake.trace.empty());
}

TEST_F(SessionTest, FileThatIsNotAcceptedNeverReachesTheController) {
    const struct {
        const char* file;  // null: a file imported and removed before programming
        const char* message;
    } cases[] = {
        {nullptr, "打开烧录文件失败！"},
        {"programming/no-comments.xcfg", "烧录文件不正确！"},
        {"programming/empty-comments.xcfg", "烧录文件头错误！"},
        {"programming/short-object.xcfg", "烧录文件不正确！"},
        {"xcfg/too-large.xcfg", "烧录文件对象超过253字节！"},
        {"xcfg/too-many.xcfg", "烧录文件对象超过64个！"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        session.OnInitDialog();
        if (c.file == nullptr) {
            const std::string gone = folder + "/gone.xcfg";
            std::ofstream(gone) << "[COMMENTS]\n";
            Import(gone);
            fs::remove(gone);
        } else {
            Import(kData + "/" + c.file);
        }
        ASSERT_EQ(view.enabled[ids::kFlashProgramOnce], true);
        prompter.messages.clear();
        view.progress.clear();
        records.programProgress = 70;

        session.OnProgramOnce();

        ASSERT_EQ(prompter.messages.size(), 1u);
        EXPECT_EQ(prompter.messages[0].text, c.message);
        EXPECT_EQ(prompter.messages[0].buttons, MessageButtons::Ok);
        EXPECT_TRUE(fake.trace.empty());
        EXPECT_EQ(records.fileRecordCount, 0);
        EXPECT_EQ(records.programProgress, 0);
        EXPECT_EQ(view.progress, std::vector<int>{0});
        EXPECT_FALSE(view.armedTimers.count(timers::kFlashProgress));
        EXPECT_EQ(log.Text(), "");
        EXPECT_EQ(view.enabled[ids::kFlashProgramOnce], true);
    }
}

TEST_F(SessionTest, ProgramOnceWritesTheFileRecordByRecordAndLogsTheSuccess) {
    session.OnInitDialog();
    Import(kData + "/xcfg/saved.xcfg");
    view.progress.clear();
    std::vector<bool> buttonWhileWriting;
    fake.onWrite = [&](uint16_t, std::span<const uint8_t>) {
        buttonWhileWriting.push_back(view.enabled[ids::kFlashProgramOnce]);
    };

    session.OnProgramOnce();

    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(fake.trace.front().address, 300);
    EXPECT_EQ(fake.trace.front().bytes, (std::vector<uint8_t>{0, 255}));
    EXPECT_EQ(fake.trace[1].address, 430);
    EXPECT_EQ(fake.trace[1].bytes, (std::vector<uint8_t>{1, 20, 128}));
    // The bar is told before each record's percentage is reached, not only at the end.
    EXPECT_EQ(view.progress, (std::vector<int>{0, 33, 66, 100}));
    EXPECT_EQ(records.programProgress, 100);
    EXPECT_EQ(view.armedTimers[timers::kFlashProgress], 10);
    EXPECT_EQ(log.Text(), "更新烧录文件成功 (09:05:07)\r\n");
    ASSERT_FALSE(buttonWhileWriting.empty());
    EXPECT_EQ(buttonWhileWriting, std::vector<bool>(buttonWhileWriting.size(), false));
    EXPECT_EQ(view.enabled[ids::kFlashProgramOnce], true);

    records.programProgress = 42;
    session.OnTimer(timers::kFlashProgress);
    EXPECT_EQ(view.progress.back(), 42);
    session.OnClose();
    EXPECT_FALSE(view.armedTimers.count(timers::kFlashProgress));
}

TEST_F(SessionTest, ProgrammingThatFailsIsShownAndNotLoggedAsSuccess) {
    session.OnInitDialog();
    Import(kData + "/xcfg/saved.xcfg");
    fake.failFrom = 1;  // the second record's chunk

    session.OnProgramOnce();

    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "烧录失败！");
    EXPECT_EQ(log.Text(), "");
    EXPECT_EQ(view.enabled[ids::kFlashProgramOnce], true);
}

TEST_F(SessionTest, ExportSavesUnderTheFixedNameOrSaysWhy) {
    const std::string missingFolder = folder + "/no-such-folder/cfg.xcfg";
    const struct {
        std::string chosen;
        std::string saved;  // empty: nothing saved
        std::string message;
        std::string caption;
        MessageIcon icon = MessageIcon::None;
    } cases[] = {
        {folder + "/cfg", folder + "/cfg.xcfg", "", ""},
        {folder + "/cfg.txt", folder + "/cfg.xcfg", "", ""},
        {folder + "/.xcfg", "", "文件名不能为空！", "提示", MessageIcon::Exclamation},
        {missingFolder, "", missingFolder + "保存失败！", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        fs::remove(folder + "/cfg.xcfg");
        prompter.messages.clear();
        prompter.saveAnswers.push_back(c.chosen);
        session.OnExport();

        EXPECT_EQ(prompter.saveRequests.back().filter, "烧录文件(*.xcfg)|*.xcfg||");
        EXPECT_EQ(prompter.saveRequests.back().initialName, folder + "/Config/.xcfg");
        if (c.saved.empty()) {
            ASSERT_EQ(prompter.messages.size(), 1u);
            EXPECT_EQ(prompter.messages[0].text, c.message);
            EXPECT_EQ(prompter.messages[0].caption, c.caption);
            EXPECT_EQ(prompter.messages[0].icon, c.icon);
            EXPECT_FALSE(fs::exists(folder + "/cfg.xcfg"));
        } else {
            EXPECT_TRUE(prompter.messages.empty());
            EXPECT_EQ(session.exportPath(), c.saved);
            EXPECT_EQ(view.texts[ids::kFlashExportPath], c.saved);
            ConfigRecordSets loaded;
            EXPECT_EQ(LoadXcfg(c.saved, loaded).verdict, XcfgVerdict::Accepted);
            EXPECT_EQ(loaded.fileRecordCount, 3);
        }
    }
    EXPECT_FALSE(AnyWrite());

    prompter.messages.clear();
    const std::string lastSaved = session.exportPath();
    session.OnExport();  // cancelled
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(session.exportPath(), lastSaved);
}

TEST_F(SessionTest, ControllerNotReadyIsNeitherReadNorWritten) {
    session.OnInitDialog();
    Import(kData + "/xcfg/saved.xcfg");
    ready = false;
    session.OnExport();
    session.OnProgramOnce();

    ASSERT_EQ(prompter.messages.size(), 2u);
    for (const auto& message : prompter.messages) {
        EXPECT_EQ(message.text, "控制器未就绪！");
        EXPECT_EQ(message.caption, "提示");
        EXPECT_EQ(message.icon, MessageIcon::Exclamation);
    }
    EXPECT_TRUE(prompter.saveRequests.empty());
    EXPECT_TRUE(fake.trace.empty());
    EXPECT_EQ(log.Text(), "");
}

}  // namespace
