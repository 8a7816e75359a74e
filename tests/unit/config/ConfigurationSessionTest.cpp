#include "config/ConfigurationSession.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "config/AdditionalParams.h"
#include "config/Utf8Path.h"
#include "support/FakeStationView.h"
#include "unit/config/ConfigTestSupport.h"

namespace {

// The window's controls as the session sees them: texts typed, radio buttons, check boxes.
class FakeForm : public ConfigurationForm {
public:
    FakeForm() {
        for (const int id :
             {configids::kFieldXCount, configids::kFieldYCount, configids::kFieldVaMin,
              configids::kFieldVaMax, configids::kFieldKeyMin, configids::kFieldKeyMax}) {
            texts[id] = "0";
        }
    }

    std::string FieldText(int fieldId) const override { return texts.at(fieldId); }
    void SetFieldText(int fieldId, const std::string& text) override { texts[fieldId] = text; }
    void FocusField(int fieldId) override { focused.push_back(fieldId); }
    int CheckedCriterion() const override { return checkedCriterion; }
    void CheckCriterion(int criterion) override {
        checkedCriterion = criterion == 0 || criterion == 1 ? criterion : -1;
    }
    void SetItemChecked(int listId, size_t item, bool checked) override {
        checks[listId].at(item) = checked;
    }
    void EnableButton(int buttonId, bool enabled) override { buttons[buttonId] = enabled; }

    std::map<int, std::string> texts;
    std::vector<int> focused;
    int checkedCriterion = -1;
    std::map<int, std::array<bool, 52>> checks;
    std::map<int, bool> buttons;
};

constexpr const char* kLimitsBasis = "判定依据：测试值上下限范围\r\n";
constexpr const char* kSampleBasis = "判定依据：样本偏差\r\n";
constexpr const char* kGoOnQuestion = "当前配置错误，继续更改(确定)，还是放弃(取消)？";
constexpr const char* kSaveQuestion = "当前配置已经更改，是否保存？";

class ConfigurationSessionTest : public ::testing::Test {
protected:
    ConfigurationSessionTest() { std::filesystem::create_directories(folder.path() / "Config"); }

    ConfigurationHost Host() {
        return {live, state, log, linkOk, view, Utf8FromPath(folder.path()), liveComplete};
    }

    // A session opened as the menu command opens the window.
    ConfigurationSession& Open() {
        session.emplace(Host(), form, view);
        session->Open();
        return *session;
    }

    void ImportFile(const std::string& name) {
        view.openAnswers.push_back(Utf8FromPath(ConfigData(name)));
        session->Import();
    }

    void Type(int fieldId, const std::string& text) { form.texts[fieldId] = text; }

    void TypeValid() {
        Type(configids::kFieldXCount, "20");
        Type(configids::kFieldYCount, "30");
        Type(configids::kFieldVaMin, "18000");
        Type(configids::kFieldVaMax, "38000");
        Type(configids::kFieldKeyMin, "17000");
        Type(configids::kFieldKeyMax, "39000");
    }

    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& message : view.messages) {
            texts.push_back(message.text);
        }
        return texts;
    }

    std::filesystem::path IniPath() const { return AdditionalParamsPath(folder.path()); }

    TempFolder folder;
    TestConfig live;
    ConfigState state;
    StatusLog log;
    bool linkOk = true;
    bool liveComplete = false;
    FakeStationView view;
    FakeForm form;
    std::optional<ConfigurationSession> session;
};

TEST(ConfigurationText, ChannelItemsAndExportNames) {
    EXPECT_EQ(ChannelItemText('X', 5), "X 5");
    EXPECT_EQ(ChannelItemText('Y', 51), "Y51");
    EXPECT_EQ(ChannelItemText('Y', 123), "Y23");

    const struct {
        const char* chosen;
        const char* saved;
    } cases[] = {
        {"/cfg/panel", "/cfg/panel.txt"},
        {"/cfg/panel.txt", "/cfg/panel.txt"},
        {"/cfg/panel.TXT", "/cfg/panel.TXT.txt"},  // case-sensitive
        {"/cfg/panel.txt.bak", "/cfg/panel.txt.bak.txt"},
        {"/cfg/ab", "/cfg/ab.txt"},
        {"/cfg/txt", "/cfg/txt.txt"},
        {"/cfg.txt/a", "/cfg.txt/a.txt"},  // only the file name counts
        {"/cfg/面板", "/cfg/面板.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WithTextExtension(c.chosen), c.saved) << c.chosen;
    }
    EXPECT_EQ(ConfigFileInitialName("/station"), "/station/Config/.txt");
}

TEST_F(ConfigurationSessionTest, OpensBlankAfterAConfigurationWasApplied) {
    live.x_channel_valid = 32;
    live.y_channel_valid = 52;
    live.display_area_y.fill(1);
    live.test_key_area_x[4] = 1;
    state.configValid = true;
    const TestConfig before = live;
    Open();

    for (const auto& [id, text] : form.texts) {
        EXPECT_EQ(text, "0") << id;
    }
    for (const int list : kChannelLists) {
        for (size_t i = 0; i < ChannelListItems(list); ++i) {
            ASSERT_FALSE(form.checks[list][i]) << list << " " << i;
        }
    }
    EXPECT_EQ(form.buttons[configids::kButtonMultiKeys], false);
    EXPECT_EQ(form.checkedCriterion, 0);
    EXPECT_EQ(view.MenuItemEnabled(ids::kMenuSamples), false);

    // Closing at once: the X count fails; OK keeps the window open, Cancel closes it.
    view.messageAnswers = {MessageAnswer::Ok, MessageAnswer::Ok};
    EXPECT_FALSE(session->Close());
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[0].text, "X有效通道数量 错误，范围应该是1~32");
    EXPECT_EQ(view.messages[0].caption, "配置错误");
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(view.messages[1].text, kGoOnQuestion);
    EXPECT_EQ(view.messages[1].caption, "配置错误");
    EXPECT_EQ(view.messages[1].buttons, MessageButtons::OkCancel);
    // "Criterion" is written even though the window stays open.
    EXPECT_EQ(ReadBytes(IniPath()), "[BasicParameters]\r\nCriterion=0\r\n");

    view.messageAnswers = {MessageAnswer::Ok, MessageAnswer::Cancel};
    EXPECT_TRUE(session->Close());
    EXPECT_EQ(live, before);
    EXPECT_TRUE(state.configValid);
    EXPECT_EQ(log.Text(), "");
    EXPECT_EQ(view.rebuildGridCalls, 0);
}

TEST_F(ConfigurationSessionTest, OpeningTakesTheCriterionFromTheFile) {
    const struct {
        const char* name;
        const char* file;
        int32_t criterion;
        int radio;
        std::optional<bool> samplesMenu;
    } cases[] = {
        {"noFile", nullptr, 0, 0, false},
        {"bySample", "[BasicParameters]\r\nCriterion=1\r\n", 1, 1, true},
        {"other", "[BasicParameters]\r\nCriterion=5\r\n", 5, -1, std::nullopt},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(IniPath());
        if (c.file != nullptr) {
            WriteBytes(IniPath(), c.file);
        }
        view.menuItems.clear();
        form.checkedCriterion = 0;
        Open();
        EXPECT_EQ(state.Criterion, c.criterion) << c.name;
        EXPECT_EQ(session->Working().criterion, c.criterion) << c.name;
        EXPECT_EQ(form.checkedCriterion, c.radio) << c.name;
        EXPECT_EQ(view.MenuItemEnabled(ids::kMenuSamples), c.samplesMenu) << c.name;
        // Reading a window with neither button checked keeps the criterion.
        EXPECT_TRUE(session->ReadWindow()) << c.name;
        EXPECT_EQ(session->Working().criterion, c.criterion) << c.name;
    }
}

TEST_F(ConfigurationSessionTest, ImportOfAGoodFileFillsTheWindow) {
    Open();
    ImportFile("panel-32x52.txt");

    EXPECT_TRUE(view.messages.empty());
    ASSERT_EQ(view.openRequests.size(), 1u);
    EXPECT_EQ(view.openRequests[0].filter, "文本文件(*.txt)|*.txt||");
    EXPECT_EQ(view.openRequests[0].initialName, Utf8FromPath(folder.path() / "Config" / ".txt"));
    EXPECT_EQ(form.texts[configids::kFieldXCount], "32");
    EXPECT_EQ(form.texts[configids::kFieldYCount], "52");
    EXPECT_EQ(form.texts[configids::kFieldVaMin], "18000");
    EXPECT_EQ(form.texts[configids::kFieldVaMax], "38000");
    EXPECT_EQ(form.texts[configids::kFieldKeyMin], "17000");
    EXPECT_EQ(form.texts[configids::kFieldKeyMax], "39000");
    const struct {
        int list;
        const TestConfig::ChannelFlags& flags;
    } lists[] = {
        {configids::kListDisplayX, live.display_area_x},
        {configids::kListDisplayY, live.display_area_y},
        {configids::kListVaX, live.test_va_area_x},
        {configids::kListVaY, live.test_va_area_y},
        {configids::kListKeyX, live.test_key_area_x},
        {configids::kListKeyY, live.test_key_area_y},
    };
    for (const auto& l : lists) {
        for (size_t i = 0; i < ChannelListItems(l.list); ++i) {
            ASSERT_EQ(form.checks[l.list][i], l.flags[i] != 0) << l.list << " " << i;
        }
    }
    const WorkingConfig& working = session->Working();
    EXPECT_EQ(working.keyCountX, 3);
    EXPECT_EQ(working.keyCountY, 2);
    EXPECT_EQ(working.multikey_matrix, live.multikey_matrix);
    EXPECT_EQ(working.path, Utf8FromPath(ConfigData("panel-32x52.txt")));
    EXPECT_TRUE(liveComplete);
    EXPECT_FALSE(session->DiffersFromLive());

    // 1059 follows the key lists: at least two key X and two key Y channels.
    EXPECT_EQ(form.buttons[configids::kButtonMultiKeys], true);
    const struct {
        int list;
        size_t item;
        bool checked;
        bool multiKeys;
    } steps[] = {
        {configids::kListKeyY, 51, false, false},  // key Y 50 only
        {configids::kListKeyY, 10, true, true},
        {configids::kListKeyX, 9, false, true},  // key X 4, 17
        {configids::kListKeyX, 17, false, false},
        {configids::kListDisplayX, 0, false, false},  // other lists leave the counts alone
    };
    for (const auto& s : steps) {
        session->SetItemChecked(s.list, s.item, s.checked);
        EXPECT_EQ(form.buttons[configids::kButtonMultiKeys], s.multiKeys)
            << s.list << " " << s.item;
    }
    EXPECT_EQ(working.keyCountX, 1);
    EXPECT_EQ(working.keyCountY, 2);
}

TEST_F(ConfigurationSessionTest, ImportThatDoesNotHappenChangesNothing) {
    const std::string folderPath = Utf8FromPath(folder.path());
    for (const std::string& answer :
         {std::string(), std::string("/no/such/folder/panel.txt"), folderPath}) {
        Open();
        view.openAnswers.push_back(answer);
        session->Import();
        EXPECT_TRUE(view.messages.empty()) << answer;
        EXPECT_EQ(log.Text(), "") << answer;
        EXPECT_EQ(session->Working().path, "") << answer;
    }
}

TEST_F(ConfigurationSessionTest, RejectedImportReportsTheLine) {
    state.configValid = true;
    Open();
    Type(configids::kFieldXCount, "7");
    ImportFile("bad-line-7.txt");

    EXPECT_EQ(log.Text(), "配置文件错误>_<,位置在第 7行。\r\n");
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "配置文件错误，位置在第 7行");
    EXPECT_EQ(view.messages[0].caption, "配置错误");
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Stop);
    EXPECT_FALSE(state.configValid);
    EXPECT_EQ(view.ControlEnabled(ids::kStartButton), false);
    EXPECT_EQ(state.error_line, 7);
    // The fields are untouched; the live record holds lines 1 to 6 and line 7 as read.
    EXPECT_EQ(form.texts[configids::kFieldXCount], "7");
    EXPECT_EQ(live.x_channel_valid, 32);
    EXPECT_EQ(live.rawdata_key_max, 39000);
    EXPECT_EQ(live.display_area_x[2], 1);
    EXPECT_EQ(live.display_area_x[3], 0);
    EXPECT_EQ(live.display_area_x[4], 1);
    EXPECT_EQ(live.display_area_y[0], 0);
    EXPECT_EQ(session->Working().path, Utf8FromPath(ConfigData("bad-line-7.txt")));
}

// A record that was never applied, or that a rejected import left half written, must not
// become ready for testing when the operator declines to save what the window shows.
TEST_F(ConfigurationSessionTest, DecliningToSaveNeverReadiesAnIncompleteRecord) {
    const struct {
        const char* name;
        std::vector<const char*> imports;
    } cases[] = {
        {"neverImported", {}},
        {"rejectedAfterGood", {"panel-32x52.txt", "bad-line-7.txt"}},
    };
    for (const auto& c : cases) {
        live = {};
        liveComplete = false;
        state = {};
        log.Clear();
        view.controls.clear();
        Open();
        for (const char* name : c.imports) {
            ImportFile(name);
        }
        TypeValid();
        view.messages.clear();
        view.messageAnswers = {MessageAnswer::Cancel};
        EXPECT_TRUE(session->Close()) << c.name;
        EXPECT_EQ(MessageTexts(), std::vector<std::string>{kSaveQuestion}) << c.name;
        EXPECT_FALSE(state.configValid) << c.name;
        EXPECT_EQ(view.ControlEnabled(ids::kStartButton), false) << c.name;
        EXPECT_EQ(log.Text().find("配置文件正确"), std::string::npos) << c.name;
        EXPECT_NE(log.Text().find(kLimitsBasis), std::string::npos) << c.name;
    }
}

TEST_F(ConfigurationSessionTest, ClosingAfterImportReadiesTheImportedRecord) {
    const struct {
        const char* name;
        const char* vaMin;  // typed before closing, nullptr for no edit
        bool linkOk;
        size_t messages;
    } cases[] = {
        {"noEdit", nullptr, true, 0},
        {"editCancelled", "20000", true, 1},
        {"noLink", nullptr, false, 0},
    };
    for (const auto& c : cases) {
        live = {};
        state = {};
        log.Clear();
        view.messages.clear();
        view.rebuildGridCalls = 0;
        linkOk = c.linkOk;
        Open();
        ImportFile("panel-32x52.txt");
        const TestConfig imported = live;
        if (c.vaMin != nullptr) {
            Type(configids::kFieldVaMin, c.vaMin);
        }
        view.messageAnswers = {MessageAnswer::Cancel};
        EXPECT_TRUE(session->Close()) << c.name;
        ASSERT_EQ(view.messages.size(), c.messages) << c.name;
        if (c.messages != 0) {
            EXPECT_EQ(view.messages[0].text, kSaveQuestion);
            EXPECT_EQ(view.messages[0].caption, "保存当前配置");
            EXPECT_EQ(view.messages[0].buttons, MessageButtons::OkCancel);
            EXPECT_EQ(view.messages[0].icon, MessageIcon::Exclamation);
        }
        EXPECT_TRUE(view.saveRequests.empty()) << c.name;
        EXPECT_EQ(live, imported) << c.name;
        EXPECT_TRUE(state.configValid) << c.name;
        EXPECT_EQ(log.Text(), std::string("配置文件正确\r\n") + kLimitsBasis) << c.name;
        EXPECT_EQ(view.ControlEnabled(ids::kStartButton), c.linkOk) << c.name;
        EXPECT_EQ(view.rebuildGridCalls, 1) << c.name;
        EXPECT_EQ(state.config_file_path, Utf8FromPath(ConfigData("panel-32x52.txt"))) << c.name;
    }
}

TEST_F(ConfigurationSessionTest, JudgingBySampleIsNotReadyOnClose) {
    state.configValid = true;
    Open();
    ImportFile("panel-32x52.txt");
    form.checkedCriterion = 1;  // the click checks the button before the session hears of it
    session->ChooseCriterion(1);
    EXPECT_EQ(state.Criterion, 1);
    EXPECT_FALSE(state.configValid);
    EXPECT_EQ(view.MenuItemEnabled(ids::kMenuSamples), true);
    EXPECT_EQ(view.ControlEnabled(ids::kStartButton), false);

    EXPECT_TRUE(session->Close());
    EXPECT_TRUE(view.messages.empty());  // the criterion is not part of the change test
    EXPECT_EQ(log.Text(), kSampleBasis);
    EXPECT_FALSE(state.configValid);
    EXPECT_EQ(view.ControlEnabled(ids::kStartButton), false);
    EXPECT_EQ(ReadCriterion(IniPath()), 1);

    form.checkedCriterion = 0;
    session->ChooseCriterion(0);
    EXPECT_EQ(view.MenuItemEnabled(ids::kMenuSamples), false);
    EXPECT_EQ(state.Criterion, 0);
}

TEST_F(ConfigurationSessionTest, ReadingTheWindowStopsAtTheFirstPrompt) {
    const struct {
        int field;
        const char* text;
        const char* prompt;
        uint32_t stored;  // the working value of field afterwards (it held 20 or 20000)
    } cases[] = {
        {configids::kFieldXCount, "abc", "“请填入一个在0和255之间的整数。”", 20},
        {configids::kFieldXCount, "300", "“请填入一个在0和255之间的整数。”", 20},
        {configids::kFieldXCount, "", "“请填入一个在0和255之间的整数。”", 20},
        {configids::kFieldXCount, "40", "“请填入一个在0和32之间的整数。”", 40},
        {configids::kFieldYCount, "53", "“请填入一个在0和52之间的整数。”", 53},
        {configids::kFieldKeyMin, "-5", "“请填入一个正整数。”", 20000},
        {configids::kFieldKeyMin, "4294967296", "“请填入一个正整数。”", 20000},
        {configids::kFieldKeyMin, "30001", "“请填入一个在0和30000之间的整数。”", 30001},
        {configids::kFieldVaMax, "40001", "“请填入一个在0和40000之间的整数。”", 40001},
        {configids::kFieldVaMax, "1 2", "“请填入一个正整数。”", 20000},
    };
    const auto value = [this](int field) -> uint32_t {
        const WorkingConfig& w = session->Working();
        switch (field) {
            case configids::kFieldXCount:
                return w.x_channel_valid;
            case configids::kFieldYCount:
                return w.y_channel_valid;
            case configids::kFieldKeyMin:
                return w.rawdata_key_min;
            default:
                return w.rawdata_va_max;
        }
    };
    for (const auto& c : cases) {
        Open();
        for (const auto& [id, text] : form.texts) {
            Type(id,
                 id == configids::kFieldXCount || id == configids::kFieldYCount ? "20" : "20000");
        }
        form.checkedCriterion = 0;
        ASSERT_TRUE(session->ReadWindow());
        // Every field changes, so what is left unread shows.
        for (const auto& [id, text] : form.texts) {
            Type(id,
                 id == configids::kFieldXCount || id == configids::kFieldYCount ? " 10 " : "25000");
        }
        form.checkedCriterion = 1;
        Type(c.field, c.text);
        view.messages.clear();
        form.focused.clear();
        EXPECT_FALSE(session->ReadWindow()) << c.text;
        ASSERT_EQ(view.messages.size(), 1u) << c.text;
        EXPECT_EQ(view.messages[0].text, c.prompt) << c.text;
        EXPECT_EQ(view.messages[0].caption, "") << c.text;
        EXPECT_EQ(view.messages[0].icon, MessageIcon::Exclamation) << c.text;
        EXPECT_EQ(form.focused, std::vector<int>{c.field}) << c.text;
        EXPECT_EQ(value(c.field), c.stored) << c.text;
        // The radio group is read last, so a prompt always leaves it unread.
        EXPECT_EQ(session->Working().criterion, 0) << c.text;
        const WorkingConfig& w = session->Working();
        // Fields read before the prompt took the new texts (blanks around digits allowed).
        if (c.field != configids::kFieldKeyMin) {
            EXPECT_EQ(w.rawdata_key_min, 25000u) << c.text;
        }
        if (c.field == configids::kFieldVaMax) {
            EXPECT_EQ(w.x_channel_valid, 10) << c.text;
            EXPECT_EQ(w.rawdata_va_min, 25000u) << c.text;
        } else {
            EXPECT_EQ(w.rawdata_va_min, 20000u) << c.text;
        }
    }
}

TEST_F(ConfigurationSessionTest, ValidationShowsTheFirstFailingRule) {
    const struct {
        const char* name;
        int field;
        const char* text;
        const char* message;  // nullptr: valid
    } cases[] = {
        {"valid", configids::kFieldXCount, "32", nullptr},
        {"xZero", configids::kFieldXCount, "0", "X有效通道数量 错误，范围应该是1~32"},
        {"yZero", configids::kFieldYCount, "0", "Y有效通道数量 错误，范围应该是1~52"},
        {"yFull", configids::kFieldYCount, "52", nullptr},
        {"vaMinLow", configids::kFieldVaMin, "15999", "VA区测试值下限 错误，范围应该是16000~40000"},
        {"vaMinLowest", configids::kFieldVaMin, "16000", nullptr},
        {"vaMaxEqual", configids::kFieldVaMax, "18000",
         "VA区测试值上限 错误，范围应该是 VA区测试值下限~40000"},
        {"vaMaxHighest", configids::kFieldVaMax, "40000", nullptr},
        {"keyMinLow", configids::kFieldKeyMin, "0", "按键区测试值下限 错误，范围应该是16000~40000"},
        {"keyMaxBelow", configids::kFieldKeyMax, "16999",
         "按键区测试值上限 错误，范围应该是 按键区测试值下限~40000"},
    };
    for (const auto& c : cases) {
        Open();
        TypeValid();
        Type(c.field, c.text);
        view.messages.clear();
        EXPECT_EQ(session->Validate(), c.message == nullptr) << c.name;
        EXPECT_EQ(session->Working().valid, c.message == nullptr) << c.name;
        if (c.message == nullptr) {
            EXPECT_TRUE(view.messages.empty()) << c.name;
        } else {
            ASSERT_EQ(view.messages.size(), 1u) << c.name;
            EXPECT_EQ(view.messages[0].text, c.message) << c.name;
            EXPECT_EQ(view.messages[0].caption, "配置错误") << c.name;
            EXPECT_EQ(view.messages[0].icon, MessageIcon::Stop) << c.name;
        }
    }
}

TEST_F(ConfigurationSessionTest, LowerLimitAboveItsEntryRangeStillValidatesAndExports) {
    Open();
    ImportFile("panel-32x52.txt");
    Type(configids::kFieldVaMin, "35000");
    Type(configids::kFieldVaMax, "39000");  // not read: the prompt ends the reading first
    EXPECT_TRUE(session->Validate());
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"“请填入一个在0和30000之间的整数。”"});
    EXPECT_EQ(form.texts[configids::kFieldVaMin], "35000");
    EXPECT_EQ(form.texts[configids::kFieldVaMax], "38000");

    const std::filesystem::path out = folder.path() / "Config" / "limits.txt";
    view.saveAnswers.push_back(Utf8FromPath(out));
    EXPECT_TRUE(session->Export());
    EXPECT_NE(ReadBytes(out).find("rawdata_va_min=35000\t"), std::string::npos);
    EXPECT_EQ(live.rawdata_va_min, 35000);
}

TEST_F(ConfigurationSessionTest, ExportWritesTheWorkingCopyAndAppliesIt) {
    Open();
    ImportFile("panel-32x52.txt");
    live.display_area_x[40] = 1;  // X entries 32..51 of the live record survive an apply
    Type(configids::kFieldXCount, "20");
    session->SetItemChecked(configids::kListVaY, 50, true);
    form.checkedCriterion = 1;
    session->ChooseCriterion(1);
    session->Working().multikey_matrix[1][1] = 1;
    view.saveAnswers.push_back(Utf8FromPath(folder.path() / "Config" / "exported"));
    EXPECT_TRUE(session->Export());

    const std::filesystem::path written = folder.path() / "Config" / "exported.txt";
    ASSERT_TRUE(std::filesystem::exists(written));
    ASSERT_EQ(view.saveRequests.size(), 1u);
    EXPECT_EQ(view.saveRequests[0].filter, "文本文件(*.txt)|*.txt||");
    EXPECT_EQ(live.x_channel_valid, 20);
    EXPECT_EQ(live.test_va_area_y[50], 1);
    EXPECT_EQ(live.display_area_x[40], 1);
    EXPECT_EQ(live.multikey_matrix[1][1], 1);
    EXPECT_EQ(live.multikey_matrix_col1[1], 1);
    EXPECT_EQ(live.test_key_number_x, 3);
    EXPECT_EQ(state.Criterion, 1);
    EXPECT_EQ(session->Working().path, Utf8FromPath(written));
    TestConfig expected = live;
    expected.display_area_x[40] = 0;
    EXPECT_EQ(ReadBytes(written), FormatTestConfig(expected));
    EXPECT_FALSE(session->DiffersFromLive());
}

TEST_F(ConfigurationSessionTest, ExportThatStopsAppliesNothing) {
    const struct {
        const char* name;
        bool valid;
        const char* answer;
        const char* message;
    } cases[] = {
        {"invalid", false, nullptr, "X有效通道数量 错误，范围应该是1~32"},
        {"cancelled", true, "", nullptr},
        {"unwritable", true, "/no/such/folder/out.txt", "/no/such/folder/out.txt打开失败！"},
    };
    for (const auto& c : cases) {
        live = {};
        Open();
        if (c.valid) {
            TypeValid();
        }
        view.messages.clear();
        view.saveRequests.clear();
        if (c.answer != nullptr) {
            view.saveAnswers.push_back(c.answer);
        }
        EXPECT_FALSE(session->Export()) << c.name;
        EXPECT_EQ(view.saveRequests.size(), c.answer != nullptr ? 1u : 0u) << c.name;
        EXPECT_EQ(MessageTexts(), c.message != nullptr ? std::vector<std::string>{c.message}
                                                       : std::vector<std::string>{})
            << c.name;
        EXPECT_EQ(live, TestConfig{}) << c.name;
        EXPECT_EQ(session->Working().path, "") << c.name;
        EXPECT_FALSE(liveComplete) << c.name;
    }
}

TEST_F(ConfigurationSessionTest, SavingOnCloseExportsBeforeReadying) {
    Open();
    TypeValid();
    const std::filesystem::path out = folder.path() / "Config" / "typed.txt";
    view.saveAnswers.push_back(Utf8FromPath(out));
    view.messageAnswers = {MessageAnswer::Ok};
    EXPECT_TRUE(session->Close());
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{kSaveQuestion});
    EXPECT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(live.x_channel_valid, 20);
    EXPECT_TRUE(state.configValid);
    EXPECT_EQ(state.config_file_path, Utf8FromPath(out));
    EXPECT_EQ(log.Text(), std::string("配置文件正确\r\n") + kLimitsBasis);
}

TEST_F(ConfigurationSessionTest, EnterEndsOnlyWithoutAPrompt) {
    Open();
    EXPECT_TRUE(session->EndOnEnter());
    Type(configids::kFieldYCount, "x");
    EXPECT_FALSE(session->EndOnEnter());
    EXPECT_EQ(view.messages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(IniPath()));
    EXPECT_FALSE(state.configValid);
}

}  // namespace
