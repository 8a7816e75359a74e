#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <thread>

#include "app/CMyStatic.h"
#include "app/CNodeGridModel.h"
#include "app/CPanelixDlg.h"
#include "app/Sleeper.h"
#include "app/Station.h"
#include "sim/SimBackend.h"
#include "ui/UiTestApp.h"
#include "widgets/CDigistatic.h"

namespace {

const std::string kExampleConfig = PANELIX_TEST_DATA_DIR "/../../examples/panel-32x52.txt";
constexpr int kBringUpMs = 10000;
const QColor kBlue(0, 0, 255);

// The station window on the simulated board, laid out for a 1920 x 1080 screen, in a working
// folder of its own.
class StationWindow : public ::testing::Test {
protected:
    StationWindow() {
        UiTestApp();
        StationWindowOptions options;
        options.title = "Panelix test";
        options.screenSize = QSize(1920, 1080);
        window =
            std::make_unique<CPanelixDlg>(backend, sleeper, folder.path().toStdString(), options);
    }

    Station& station() { return window->station(); }
    QPushButton* Button(int id) { return qobject_cast<QPushButton*>(window->Control(id)); }
    CDigistatic* Display(int id) { return qobject_cast<CDigistatic*>(window->Control(id)); }
    CMyStatic* Label(int id) { return qobject_cast<CMyStatic*>(window->Control(id)); }
    QTableView* Grid() { return qobject_cast<QTableView*>(window->Control(ids::kGrid)); }
    const CNodeGridModel* GridModel() {
        return static_cast<const CNodeGridModel*>(Grid()->model());
    }
    std::string Counters() {
        return Display(ids::kOkCount)->DisplayText() + "|" + Display(ids::kNgCount)->DisplayText() +
               "|" + Display(ids::kYield)->DisplayText();
    }

    void ShowAndBringUp() {
        window->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return station().controllerReady; }, kBringUpMs));
    }

    void ConfigureShowAndBringUp() {
        ASSERT_TRUE(station().AcceptTestConfigFile(kExampleConfig));
        ShowAndBringUp();
        ASSERT_TRUE(Button(ids::kStartButton)->isEnabled());
    }

    QTemporaryDir folder;
    SimBackend backend;
    RealSleeper sleeper;
    std::unique_ptr<CPanelixDlg> window;
};

TEST_F(StationWindow, StartsBlankAndWaitsForAConfiguration) {
    window->show();
    EXPECT_EQ(Grid()->model()->columnCount(), 0);
    EXPECT_EQ(Grid()->model()->rowCount(), 0);
    CMyStatic* status = Label(ids::kStatusLabel);
    EXPECT_EQ(status->text(), "WAIT");
    EXPECT_EQ(status->BackgroundColour(), kBlue);
    EXPECT_EQ(status->TextColour(), QColor(255, 255, 255));
    EXPECT_EQ(status->font().pointSize(), 70);
    EXPECT_EQ(Label(ids::kOkCaption)->text(), "OK数量");
    EXPECT_EQ(Label(ids::kYieldCaption)->TextColour(), QColor(128, 0, 128));
    EXPECT_EQ(Counters(), "    0|    0|  0.00");
    EXPECT_EQ(Display(ids::kNgCount)->LitColour(), QColor(255, 0, 0));
    EXPECT_TRUE(Display(ids::kYield)->Style() & digistyle::LitOnly);
    EXPECT_FALSE(window->MenuItem(ids::kMenuSamples)->isEnabled());
    EXPECT_FALSE(window->MenuItem(ids::kMenuProgramming)->isEnabled());
    EXPECT_TRUE(window->MenuItem(ids::kMenuTestConfig)->isEnabled());
    EXPECT_FALSE(Button(ids::kStartButton)->isEnabled());
    for (const char* name : {"Config", "Sample", "TemporarySamples"}) {
        EXPECT_TRUE(QFileInfo(folder.filePath(name)).isDir()) << name;
    }
    EXPECT_TRUE(window->TimerRunning(timers::kOpenBoard));
    EXPECT_TRUE(window->TimerRunning(timers::kSampleAcquisition));

    ASSERT_TRUE(QTest::qWaitFor([&] { return station().controllerReady; }, kBringUpMs));
    EXPECT_FALSE(Button(ids::kStartButton)->isEnabled()) << "no configuration yet";
    EXPECT_FALSE(window->TimerRunning(timers::kBringUp));
}

TEST_F(StationWindow, ConfigurationAcceptedBeforeTheBoardEnablesStartAtBringUp) {
    ASSERT_TRUE(station().AcceptTestConfigFile(kExampleConfig));
    EXPECT_EQ(Grid()->model()->columnCount(), 33);
    EXPECT_EQ(Grid()->model()->rowCount(), 52);
    window->show();
    EXPECT_FALSE(Button(ids::kStartButton)->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return station().controllerReady; }, kBringUpMs));
    EXPECT_TRUE(Button(ids::kStartButton)->isEnabled());
}

TEST_F(StationWindow, RebuildsTheGridForTwentyByThirtyChannels) {
    station().testConfig.x_channel_valid = 20;
    station().testConfig.y_channel_valid = 30;
    window->RebuildGrid();
    ASSERT_EQ(Grid()->model()->columnCount(), 21);
    ASSERT_EQ(Grid()->model()->rowCount(), 30);
    EXPECT_EQ(Grid()->model()->headerData(20, Qt::Horizontal).toString(), " X19");
    EXPECT_EQ(GridModel()->CellText(29, 0), "Y29");
    EXPECT_EQ(Grid()->columnWidth(0), 30);
    EXPECT_EQ(Grid()->columnWidth(1), 60);
    EXPECT_EQ(Grid()->columnWidth(20), 60);
}

TEST(ControlLayout, FollowsTheScreenSize) {
    const std::vector<ControlRect> rects = LayoutControls(1920, 1080);
    auto find = [&](int id) {
        for (const ControlRect& rect : rects) {
            if (rect.id == id) {
                return rect;
            }
        }
        return ControlRect{};
    };
    const ControlRect expected[] = {
        {ids::kGrid, 1, 0, 1917, 842},
        {ids::kStartButton, 1305, 853, 1497, 950},
        {ids::kOkCount, 19, 853, 211, 907},
        {ids::kYieldCaption, 441, 907, 633, 944},
        {ids::kResetButton, 652, 853, 786, 907},
        {ids::kLogView, 806, 853, 1286, 961},
        {ids::kStatusLabel, 1516, 853, 1900, 961},
    };
    EXPECT_EQ(rects.size(), 11u);
    for (const ControlRect& rect : expected) {
        EXPECT_EQ(find(rect.id), rect) << rect.id;
    }
}

TEST_F(StationWindow, PlacesEveryControlByTheLayout) {
    window->show();
    for (const ControlRect& rect : LayoutControls(1920, 1080)) {
        const QWidget* control = window->Control(rect.id);
        ASSERT_NE(control, nullptr) << rect.id;
        EXPECT_EQ(control->geometry(),
                  QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top))
            << rect.id;
    }
}

// Sends a key press and release to widget as the operator's keyboard would.
void PressKey(QWidget* widget, int key) {
    widget->setFocus();
    QTest::keyClick(widget, static_cast<Qt::Key>(key));
}

TEST_F(StationWindow, EnterDoesNothing) {
    ConfigureShowAndBringUp();
    const std::string before = station().log.Text();
    PressKey(Button(ids::kStartButton), Qt::Key_Return);
    PressKey(Button(ids::kResetButton), Qt::Key_Enter);
    EXPECT_EQ(station().log.Text(), before);
    EXPECT_EQ(station().counters.okCount + station().counters.ngCount, 0);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(StationWindow, SpaceRunsOneTestWhileStartIsEnabled) {
    ConfigureShowAndBringUp();
    // The focused "统计清零" must not also take the key and clear the count it just made.
    PressKey(Button(ids::kResetButton), Qt::Key_Space);
    EXPECT_EQ(station().counters.okCount, 1);
    EXPECT_EQ(Counters(), "    1|    0|100.00");

    window->EnableControl(ids::kStartButton, false);
    PressKey(Grid(), Qt::Key_Space);
    EXPECT_EQ(station().counters.okCount, 1);
    window->EnableControl(ids::kStartButton, true);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ", true);
    EXPECT_TRUE(window->PreTranslateMessage(&repeat));
    EXPECT_EQ(station().counters.okCount, 1) << "a held key is one press";
}

TEST_F(StationWindow, EndingTheWindow) {
    const struct {
        const char* name;
        std::function<void(CPanelixDlg&)> end;
        bool boardClosed;
    } cases[] = {
        {"escapeSkipsOnClose",
         [](CPanelixDlg& w) { PressKey(w.Control(ids::kStartButton), Qt::Key_Escape); }, false},
        {"exitMenu", [](CPanelixDlg& w) { w.MenuItem(ids::kMenuExit)->trigger(); }, true},
        {"closeBox", [](CPanelixDlg& w) { w.close(); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StationWindowOptions options;
        options.screenSize = QSize(1920, 1080);
        SimBackend board;  // a backend watches devices for one station only
        CPanelixDlg other(board, sleeper, folder.path().toStdString(), options);
        other.show();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return other.station().link.connected.load(); }, kBringUpMs));
        c.end(other);
        EXPECT_FALSE(other.isVisible());
        EXPECT_EQ(other.result(), QDialog::Rejected);
        EXPECT_EQ(!other.station().link.connected, c.boardClosed);
    }
}

// The programming window's choosers are the main window's: each filter names its pattern
// once in the chooser's list of file types.
TEST_F(StationWindow, FileChoosersNameEachPatternOnce) {
    const struct {
        const char* name;
        std::string (CPanelixDlg::*choose)(std::string_view, std::string_view);
    } choosers[] = {
        {"open", &CPanelixDlg::ChooseFileToOpen},
        {"save", &CPanelixDlg::ChooseFileToSave},
    };
    for (const auto& c : choosers) {
        SCOPED_TRACE(c.name);
        QStringList shown;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                shown = chooser->nameFilters();
                chooser->reject();
            }
        });
        poll.start(10);
        const std::string chosen = ((*window).*c.choose)("烧录文件(*.xcfg)|*.xcfg||",
                                                         folder.filePath(".xcfg").toStdString());
        EXPECT_EQ(chosen, "");
        EXPECT_EQ(shown, QStringList{QStringLiteral("烧录文件(*.xcfg)")});
    }
}

TEST_F(StationWindow, BoardRemovalDisablesStartUntilTheBoardIsBack) {
    ConfigureShowAndBringUp();
    // Device events arrive on another thread; the window hands them to its own.
    std::thread([&] { backend.Unplug(); }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !station().controllerReady; }, 5000));
    EXPECT_FALSE(Button(ids::kStartButton)->isEnabled());
    EXPECT_NE(station().log.Text().find("测试板已断开"), std::string::npos);
    std::thread([&] { backend.Plug(); }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return station().controllerReady; }, kBringUpMs));
    EXPECT_TRUE(Button(ids::kStartButton)->isEnabled());
}

TEST_F(StationWindow, LogViewFollowsAppendsFromAnyThread) {
    window->show();
    QPlainTextEdit* view = qobject_cast<QPlainTextEdit*>(window->Control(ids::kLogView));
    // The reader thread appends while the UI thread is busy elsewhere; it must never wait.
    std::thread reader([&] {
        for (int i = 0; i < 300; ++i) {
            station().log.AppendLog("命令出错=" + std::to_string(i), 0, 1);
        }
    });
    reader.join();
    station().log.AppendLog("tail", 0, 0);
    QString expected = QString::fromStdString(station().log.Text());
    expected.remove('\r');
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->toPlainText() == expected; }, 5000));
    EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
    EXPECT_TRUE(view->isReadOnly());

    station().log.Clear();
    station().log.AppendLog("calib & clear", 0, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->toPlainText() == "calib & clear\n"; }, 5000));
}

TEST_F(StationWindow, RunsAPassAndAnNgThroughTheWindow) {
    ConfigureShowAndBringUp();
    QTest::mouseClick(Button(ids::kStartButton), Qt::LeftButton);
    EXPECT_EQ(Label(ids::kStatusLabel)->text(), "PASS");
    EXPECT_EQ(Label(ids::kStatusLabel)->BackgroundColour(), QColor(0, 255, 0));
    EXPECT_EQ(Counters(), "    1|    0|100.00");
    EXPECT_EQ(GridModel()->CellText(0, 1).size(), 5);
    EXPECT_TRUE(Button(ids::kStartButton)->isEnabled());
    EXPECT_TRUE(window->TimerRunning(timers::kBackToWait));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Label(ids::kStatusLabel)->text() == "WAIT"; }, 5000));
    EXPECT_EQ(Label(ids::kStatusLabel)->BackgroundColour(), kBlue);

    // A short between pins at X channel 6 (counted from 1): X 5's column turns blue.
    backend.WithBoard([](SimBoard& board) {
        board.Controller().Panel().SetSelfTest({0x11, 3, 6, 0});
    });
    QTest::mouseClick(Button(ids::kStartButton), Qt::LeftButton);
    EXPECT_EQ(Label(ids::kStatusLabel)->text(), "NG");
    EXPECT_EQ(Label(ids::kStatusLabel)->BackgroundColour(), QColor(255, 0, 0));
    EXPECT_EQ(Counters(), "    1|    1| 50.00");
    EXPECT_EQ(GridModel()->CellColour(10, 6), kBlue);
    EXPECT_EQ(GridModel()->CellColour(10, 5), QColor(0, 0, 0));
    QTest::qWait(3500);
    EXPECT_EQ(Label(ids::kStatusLabel)->text(), "NG") << "NG stays until the next test";

    QTest::mouseClick(Button(ids::kResetButton), Qt::LeftButton);
    EXPECT_EQ(Counters(), "    0|    0|  0.00");
}

}  // namespace
