#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <string>

#include "app/CPanelixDlg.h"
#include "app/Sleeper.h"
#include "app/Station.h"
#include "config/AdditionalParams.h"
#include "config/CConfigurate.h"
#include "config/CDefineMultiKeys.h"
#include "config/Utf8Path.h"
#include "sim/SimBackend.h"
#include "support/FakeStationView.h"
#include "ui/UiTestApp.h"
#include "unit/config/ConfigTestSupport.h"

namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

template <typename Widget>
Widget* Find(QWidget& window, const char* kind, int id) {
    auto* widget = window.findChild<Widget*>(QString::fromLatin1(kind) + QString::number(id));
    EXPECT_NE(widget, nullptr) << kind << id;
    return widget;
}

class ConfigurateWindowTest : public ::testing::Test {
protected:
    ConfigurateWindowTest() {
        UiTestApp();
        std::filesystem::create_directories(folder.path() / "Config");
        window = std::make_unique<CConfigurate>(
            ConfigurationHost{live, state, log, linkOk, view, Utf8FromPath(folder.path()),
                              liveComplete},
            nullptr, &view);
        window->show();
    }

    QLineEdit* Field(int id) { return Find<QLineEdit>(*window, "field", id); }
    QListWidget* List(int id) { return Find<QListWidget>(*window, "list", id); }
    QPushButton* Button(int id) { return Find<QPushButton>(*window, "button", id); }

    void ImportExample() {
        view.openAnswers.push_back(Utf8FromPath(ConfigData("panel-32x52.txt")));
        Button(configids::kButtonImport)->click();
    }

    TempFolder folder;
    TestConfig live;
    ConfigState state;
    StatusLog log;
    bool linkOk = true;
    bool liveComplete = false;
    FakeStationView view;
    std::unique_ptr<CConfigurate> window;
};

TEST_F(ConfigurateWindowTest, ShowsItsControlsBlank) {
    EXPECT_EQ(window->windowTitle(), Text("配置参数"));
    const struct {
        int labelId;
        const char* label;
        int fieldId;
    } fields[] = {
        {1045, "X有效通道数量=", configids::kFieldXCount},
        {1046, "Y有效通道数量=", configids::kFieldYCount},
        {1047, "可视区合格下限=", configids::kFieldVaMin},
        {1048, "可视区合格上限=", configids::kFieldVaMax},
        {1049, "按键区合格下限=", configids::kFieldKeyMin},
        {1050, "按键区合格上限=", configids::kFieldKeyMax},
    };
    for (const auto& f : fields) {
        EXPECT_EQ(Find<QLabel>(*window, "label", f.labelId)->text(), Text(f.label));
        EXPECT_EQ(Field(f.fieldId)->text(), QStringLiteral("0"));
    }
    const struct {
        int groupId;
        const char* title;
        int listId;
        int items;
        int sample;
        const char* sampleText;
    } lists[] = {
        {1033, "X通道显示区域", configids::kListDisplayX, 32, 5, "X 5"},
        {1035, "Y通道显示区域", configids::kListDisplayY, 52, 51, "Y51"},
        {1037, "可视区的X通道测试区域", configids::kListVaX, 32, 31, "X31"},
        {1039, "可视区的Y通道测试区域", configids::kListVaY, 52, 0, "Y 0"},
        {1041, "按键区的X通道测试区域", configids::kListKeyX, 32, 9, "X 9"},
        {1043, "按键区的Y通道测试区域", configids::kListKeyY, 52, 40, "Y40"},
    };
    for (const auto& l : lists) {
        EXPECT_EQ(Find<QGroupBox>(*window, "group", l.groupId)->title(), Text(l.title));
        QListWidget* list = List(l.listId);
        ASSERT_EQ(list->count(), l.items);
        EXPECT_EQ(list->item(l.sample)->text(), Text(l.sampleText));
        for (int i = 0; i < list->count(); ++i) {
            ASSERT_EQ(list->item(i)->checkState(), Qt::Unchecked) << l.listId << " " << i;
        }
        // Columns of 50 pixels, filled top to bottom, every item in view.
        EXPECT_EQ(list->visualItemRect(list->item(4)).x() - list->visualItemRect(list->item(0)).x(),
                  50);
        EXPECT_TRUE(
            list->viewport()->rect().contains(list->visualItemRect(list->item(list->count() - 1))));
    }
    EXPECT_EQ(Find<QGroupBox>(*window, "group", 1034)->title(), Text("基本参数"));
    EXPECT_EQ(Find<QGroupBox>(*window, "group", 1053)->title(), Text("判定依据"));
    EXPECT_TRUE(Find<QRadioButton>(*window, "radio", configids::kRadioLimits)->isChecked());
    EXPECT_EQ(Find<QRadioButton>(*window, "radio", configids::kRadioSample)->text(),
              Text("样本偏差"));
    EXPECT_EQ(Button(configids::kButtonImport)->text(), Text("导入配置"));
    EXPECT_EQ(Button(configids::kButtonExport)->text(), Text("导出配置"));
    EXPECT_EQ(Button(configids::kButtonMultiKeys)->text(), Text("定义多行按键"));
    EXPECT_FALSE(Button(configids::kButtonMultiKeys)->isEnabled());
}

TEST_F(ConfigurateWindowTest, ImportFillsTheWindowAndKeyListsFollowTheirCheckBoxes) {
    ImportExample();
    EXPECT_EQ(Field(configids::kFieldXCount)->text(), QStringLiteral("32"));
    EXPECT_EQ(Field(configids::kFieldKeyMax)->text(), QStringLiteral("39000"));
    QListWidget* keyX = List(configids::kListKeyX);
    for (int i = 0; i < keyX->count(); ++i) {
        EXPECT_EQ(keyX->item(i)->checkState() == Qt::Checked, i == 4 || i == 9 || i == 17) << i;
    }
    EXPECT_EQ(List(configids::kListVaY)->item(47)->checkState(), Qt::Checked);
    EXPECT_EQ(List(configids::kListVaY)->item(48)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(Button(configids::kButtonMultiKeys)->isEnabled());

    // Selecting a channel without touching its check box changes no count.
    keyX->setCurrentRow(0);
    EXPECT_EQ(window->Session().Working().keyCountX, 3);
    keyX->item(0)->setCheckState(Qt::Checked);
    EXPECT_EQ(window->Session().Working().keyCountX, 4);
    List(configids::kListKeyY)->item(51)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(Button(configids::kButtonMultiKeys)->isEnabled());
    List(configids::kListKeyY)->item(51)->setCheckState(Qt::Checked);

    // 1059 opens the multi-key window over the working copy.
    int items = -1;
    QTimer::singleShot(0, [&] {
        auto* multiKeys = window->findChild<CDefineMultiKeys*>();
        ASSERT_NE(multiKeys, nullptr);
        items = Find<QListWidget>(*multiKeys, "grid", configids::kMultiKeyGrid)->count();
        QTest::keyClick(multiKeys, Qt::Key_Escape);
    });
    Button(configids::kButtonMultiKeys)->click();
    EXPECT_EQ(items, 32);  // key X 0, 4, 9, 17
}

TEST_F(ConfigurateWindowTest, CloseBoxRunsTheClosingProcedure) {
    view.messageAnswers = {MessageAnswer::Ok, MessageAnswer::Ok};
    window->close();
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[0].text, "X有效通道数量 错误，范围应该是1~32");
    EXPECT_EQ(ReadCriterion(AdditionalParamsPath(folder.path())), 0);
    EXPECT_TRUE(std::filesystem::exists(AdditionalParamsPath(folder.path())));

    ImportExample();
    Find<QRadioButton>(*window, "radio", configids::kRadioSample)->click();
    EXPECT_EQ(state.Criterion, 1);
    EXPECT_EQ(view.MenuItemEnabled(ids::kMenuSamples), true);
    view.messages.clear();
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(log.Text(), "判定依据：样本偏差\r\n");
    EXPECT_EQ(view.rebuildGridCalls, 1);
    EXPECT_EQ(ReadCriterion(AdditionalParamsPath(folder.path())), 1);
}

TEST_F(ConfigurateWindowTest, EnterAndEscapeEndTheWindowWithoutClosingProcedure) {
    Field(configids::kFieldYCount)->setText(QStringLiteral("abc"));
    Field(configids::kFieldYCount)->setFocus();
    QTest::keyClick(Field(configids::kFieldYCount), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "“请填入一个在0和255之间的整数。”");
    EXPECT_EQ(Field(configids::kFieldYCount)->text(), QStringLiteral("abc"));

    Field(configids::kFieldYCount)->setText(QStringLiteral("7"));
    QTest::keyClick(Field(configids::kFieldYCount), Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);

    window->show();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(view.messages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(AdditionalParamsPath(folder.path())));
    EXPECT_EQ(log.Text(), "");
    EXPECT_EQ(view.rebuildGridCalls, 0);
}

// Key X 4, 9, 17 and key Y 40, 41.
WorkingConfig ExampleKeys() {
    WorkingConfig working;
    for (const size_t x : {4, 9, 17}) {
        working.test_key_area_x[x] = 1;
    }
    working.test_key_area_y[40] = working.test_key_area_y[41] = 1;
    working.keyCountX = 3;
    working.keyCountY = 2;
    return working;
}

TEST(DefineMultiKeysWindow, LabelsTheGridOfKeyCrossings) {
    UiTestApp();
    WorkingConfig working = ExampleKeys();
    FakeStationView view;
    CDefineMultiKeys window(working, nullptr, &view);
    window.show();
    EXPECT_EQ(window.windowTitle(), Text("定义多行按键"));
    EXPECT_EQ(Find<QLabel>(window, "label", configids::kMultiKeyInstruction)->text(),
              Text("请在下面有效区域打勾，选择按键所在的节点："));

    QListWidget* grid = Find<QListWidget>(window, "grid", configids::kMultiKeyGrid);
    ASSERT_EQ(grid->count(), 24);
    const QRect first = grid->visualItemRect(grid->item(0));
    const QRect below = grid->visualItemRect(grid->item(7));
    const QRect next = grid->visualItemRect(grid->item(8));
    EXPECT_EQ(next.topLeft(), first.topLeft() + QPoint(CDefineMultiKeys::kCellWidth, 0));
    EXPECT_EQ(below.x(), first.x());
    EXPECT_EQ(below.y(), first.y() + 7 * first.height());
    EXPECT_TRUE(grid->viewport()->rect().contains(grid->visualItemRect(grid->item(23))));

    const char* columns[] = {"X 4", "X 9", "X17"};
    for (int c = 0; c < 8; ++c) {
        QLabel* label = Find<QLabel>(window, "label", configids::kMultiKeyFirstColumnLabel + c);
        EXPECT_EQ(label->isVisible(), c < 3) << c;
        if (c < 3) {
            EXPECT_EQ(label->text(), Text(columns[c]));
            // Above its column of the grid.
            const QPoint cell = grid->viewport()->mapTo(&window, first.topLeft()) +
                                QPoint(c * CDefineMultiKeys::kCellWidth, 0);
            EXPECT_EQ(label->x(), cell.x()) << c;
        }
    }
    const char* rows[] = {"Y40", "Y41", "------"};
    for (int r = 0; r < 8; ++r) {
        QLabel* label = Find<QLabel>(window, "label", configids::kMultiKeyFirstRowLabel + r);
        EXPECT_EQ(label->isVisible(), r < 3) << r;
        if (r < 3) {
            EXPECT_EQ(label->text(), Text(rows[r]));
            const QPoint cell =
                grid->viewport()->mapTo(&window, first.topLeft()) + QPoint(0, r * first.height());
            EXPECT_EQ(label->y(), cell.y()) << r;
        }
    }
}

TEST(DefineMultiKeysWindow, RefusesTicksAndHandsBackOnlyAnAcceptableLayout) {
    UiTestApp();
    WorkingConfig working = ExampleKeys();
    working.multikey_matrix[4][0] = 1;  // below the key rows: refused while opening
    FakeStationView view;
    CDefineMultiKeys window(working, nullptr, &view);
    window.show();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "该节点无效");
    QListWidget* grid = Find<QListWidget>(window, "grid", configids::kMultiKeyGrid);
    EXPECT_EQ(grid->item(4)->checkState(), Qt::Unchecked);

    grid->item(8 + 2)->setCheckState(Qt::Checked);  // key column 1, row 2
    EXPECT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(grid->item(8 + 2)->checkState(), Qt::Unchecked);

    grid->item(0)->setCheckState(Qt::Checked);
    grid->item(17)->setCheckState(Qt::Checked);  // column 1 stays empty
    view.messageAnswers = {MessageAnswer::Ok};
    window.close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(view.messages.back().text, "按键配置错误，继续更改(确定)，还是放弃(取消)？");

    grid->item(8)->setCheckState(Qt::Checked);
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(working.multiKeyChanged);
    EXPECT_EQ(working.multikey_matrix[0][0], 1);
    EXPECT_EQ(working.multikey_matrix[0][1], 1);
    EXPECT_EQ(working.multikey_matrix[1][2], 1);
    EXPECT_EQ(working.multikey_matrix[4][0], 1);  // outside the key rows: kept
}

TEST(DefineMultiKeysWindow, EnterHandsNothingBack) {
    UiTestApp();
    WorkingConfig working = ExampleKeys();
    FakeStationView view;
    CDefineMultiKeys window(working, nullptr, &view);
    window.show();
    Find<QListWidget>(window, "grid", configids::kMultiKeyGrid)
        ->item(0)
        ->setCheckState(Qt::Checked);
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(working.multiKeyChanged);
    EXPECT_EQ(working.multikey_matrix[0][0], 0);
}

// "测试配置" opens the window modally over the station, working on the station's own state.
TEST(ConfigurationMenu, OpensTheWindowOverTheStation) {
    UiTestApp();
    QTemporaryDir folder;
    SimBackend backend;
    RealSleeper sleeper;
    StationWindowOptions options;
    options.title = "Panelix test";
    options.screenSize = QSize(1920, 1080);
    CPanelixDlg window(backend, sleeper, folder.path().toStdString(), options);
    window.show();
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CConfigurate*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->parentWidget(), &window);
        dialog->Session().ChooseCriterion(1);
        opened = true;
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    window.MenuItem(ids::kMenuTestConfig)->trigger();
    EXPECT_TRUE(opened);
    EXPECT_EQ(window.station().configState.Criterion, 1);
    EXPECT_TRUE(window.MenuItem(ids::kMenuSamples)->isEnabled());
}

}  // namespace
