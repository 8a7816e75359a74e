// The sample organiser window offscreen: its template's layout and texts, what a listed sample
// looks like, and the close box that hides it with the list kept.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>

#include "app/CPanelixDlg.h"
#include "app/Sleeper.h"
#include "app/Station.h"
#include "config/IniProfile.h"
#include "samples/CArrangeSample.h"
#include "support/FakeHidBackend.h"
#include "support/FakeStationView.h"
#include "ui/UiTestApp.h"
#include "unit/samples/SampleTestSupport.h"

namespace {

namespace fs = std::filesystem;
using sample_test::TempFolder;
using sample_test::WriteBytes;

const fs::path kData = fs::path(PANELIX_TEST_DATA_DIR) / "samples";

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class OrganiserWindowTest : public ::testing::Test {
protected:
    OrganiserWindowTest() : station(mainView, backend, sleeper, work.path().string()) {
        UiTestApp();
        station.CreateFolders();
        WriteBytes(work.path() / "Config" / "AdditionalPara1.ini",
                   "[SampleInformation]\r\nNumberOfSamplesListMAX=5\r\n");
        window = std::make_unique<CArrangeSample>(station, nullptr, &prompter);
    }

    template <typename Widget>
    Widget* Find(const char* kind, int id) {
        auto* widget = window->findChild<Widget*>(QString::fromLatin1(kind) + QString::number(id));
        EXPECT_NE(widget, nullptr) << kind << id;
        return widget;
    }

    void Import(const fs::path& file) {
        prompter.openAnswers.push_back(file.string());
        Find<QPushButton>("button", organiserids::kButtonImport)->click();
    }

    TempFolder work;
    FakeStationView mainView;
    FakeHidBackend backend;
    CountingSleeper sleeper{false};
    Station station;
    FakeStationView prompter;
    std::unique_ptr<CArrangeSample> window;
};

TEST_F(OrganiserWindowTest, ShowsTheLayoutOfItsTemplate) {
    EXPECT_EQ(window->windowTitle(), Text("整理样本"));
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(window->size(), QSize(812, 488));
    EXPECT_EQ(window->List()->geometry(), QRect(14, 14, 664, 314));
    const struct {
        int id;
        const char* caption;
        QRect place;
    } buttons[] = {
        {1063, "获取一个样本", {690, 30, 108, 48}},  {1061, "生成平均样本", {690, 96, 108, 48}},
        {1060, "清空列表", {690, 162, 108, 48}},     {1078, "使用选中样本", {690, 228, 108, 48}},
        {1064, "导入样本文件", {690, 332, 108, 48}}, {1062, "导出样本文件", {690, 396, 108, 48}},
    };
    for (const auto& b : buttons) {
        QPushButton* button = Find<QPushButton>("button", b.id);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), Text(b.caption)) << b.id;
        EXPECT_EQ(button->geometry(), b.place) << b.id;
        EXPECT_FALSE(button->autoDefault()) << b.id;
    }
    QHeaderView* header = window->List()->horizontalHeader();
    for (int column = 0; column < 9; ++column) {
        EXPECT_EQ(window->List()->model()->headerData(column, Qt::Horizontal).toString(),
                  QString::fromUtf8(kOrganiserHeadings[column].data(),
                                    static_cast<qsizetype>(kOrganiserHeadings[column].size())));
        EXPECT_EQ(header->sectionSize(column), column == 0 ? 50 : 75) << column;
    }
    EXPECT_EQ(Find<QCheckBox>("check", 1079)->text(), Text("全选"));
    EXPECT_FALSE(Find<QCheckBox>("check", 1079)->isEnabled());
    EXPECT_EQ(Find<QLabel>("label", 1072)->text(), Text("偏差下限= -"));
    // A file without "DeviationMethod" reads it as 0: absolute, and only its row enabled.
    EXPECT_TRUE(Find<QRadioButton>("radio", 1066)->isChecked());
    EXPECT_TRUE(Find<QLineEdit>("field", 1068)->isEnabled());
    EXPECT_TRUE(Find<QLabel>("label", 1073)->isEnabled());
    EXPECT_FALSE(Find<QLineEdit>("field", 1070)->isEnabled());
    EXPECT_FALSE(Find<QLabel>("label", 1077)->isEnabled());
    EXPECT_EQ(Find<QLineEdit>("field", 1071)->text(), "0");
    EXPECT_TRUE(window->TimerRunning(organiserids::kLinkTimer));
}

// Chinese captions in fields of dialog units: every text must fit where the template puts it.
TEST_F(OrganiserWindowTest, NoCaptionIsClipped) {
    window->show();
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        EXPECT_LE(button->sizeHint().width(), button->width())
            << button->objectName().toStdString();
    }
    for (QLabel* label : window->findChildren<QLabel*>()) {
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
            << label->objectName().toStdString();
        EXPECT_LE(label->fontMetrics().height(), label->height())
            << label->objectName().toStdString();
    }
    for (QLineEdit* field : window->findChildren<QLineEdit*>()) {
        EXPECT_LT(field->fontMetrics().horizontalAdvance(QStringLiteral("20000")), field->width());
    }
    int columns = 0;
    for (int column = 0; column < 9; ++column) {
        columns += window->List()->horizontalHeader()->sectionSize(column);
    }
    EXPECT_LE(columns, window->List()->viewport()->width()) << "no horizontal scrolling";

    Import(kData / "small-3x2.ini");
    const QFontMetrics cells(window->List()->font());
    for (int column = 0; column < 9; ++column) {
        const QString text = window->List()->model()->index(0, column).data().toString();
        EXPECT_LE(cells.horizontalAdvance(text) + 8,
                  window->List()->horizontalHeader()->sectionSize(column))
            << text.toStdString();
    }
}

TEST_F(OrganiserWindowTest, AListedSampleShowsBlackOnCyanWithItsCheckBox) {
    Import(kData / "small-3x2.ini");
    QAbstractItemModel* model = window->List()->model();
    ASSERT_EQ(model->rowCount(), 1);
    const char* const texts[] = {" 0",  "0305070809", "样本文件", "1523", "7",
                                 "765", "65535",      "65535",    "65535"};
    for (int column = 0; column < 9; ++column) {
        const QModelIndex cell = model->index(0, column);
        EXPECT_EQ(cell.data().toString(), Text(texts[column])) << column;
        EXPECT_EQ(cell.data(Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
        EXPECT_EQ(cell.data(Qt::BackgroundRole).value<QColor>(), QColor(0, 255, 255));
        EXPECT_EQ(cell.data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 0));
    }
    const QModelIndex first = model->index(0, 0);
    EXPECT_EQ(first.data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_FALSE(model->index(0, 1).data(Qt::CheckStateRole).isValid());

    QCheckBox* selectAll = Find<QCheckBox>("check", 1079);
    ASSERT_TRUE(selectAll->isEnabled());
    selectAll->click();
    EXPECT_EQ(selectAll->text(), Text("全部取消"));
    EXPECT_EQ(first.data(Qt::CheckStateRole).toInt(), Qt::Checked);
    ASSERT_TRUE(model->setData(first, Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(window->Organiser().Rows()[0].checked);
}

TEST_F(OrganiserWindowTest, TheMethodButtonsSwitchTheRows) {
    QTest::mouseClick(Find<QRadioButton>("radio", 1067), Qt::LeftButton);
    EXPECT_FALSE(Find<QLineEdit>("field", 1068)->isEnabled());
    EXPECT_FALSE(Find<QLabel>("label", 1073)->isEnabled());
    EXPECT_TRUE(Find<QLineEdit>("field", 1071)->isEnabled());
    EXPECT_TRUE(Find<QLabel>("label", 1077)->isEnabled());
    EXPECT_EQ(window->Organiser().Standard().DeviationMethod, 1);
}

TEST_F(OrganiserWindowTest, TheCloseBoxHidesTheWindowAndKeepsIt) {
    window.reset();
    QWidget mainWindow;
    mainWindow.setGeometry(100, 100, 1200, 900);
    std::unique_ptr<CArrangeSample> organiser;
    ShowArrangeSample(organiser, station, &mainWindow);
    ASSERT_NE(organiser, nullptr);
    EXPECT_TRUE(organiser->isVisible());
    CArrangeSample* const first = organiser.get();

    organiser->findChild<QLineEdit*>("field1071")->setText("12");
    organiser->close();
    EXPECT_FALSE(organiser->isVisible());
    const fs::path params = work.path() / "Config" / "AdditionalPara1.ini";
    EXPECT_EQ(ReadProfileInt(params, "TestStandards", "RelativeDeviationPositive", -1), 12);
    EXPECT_FALSE(organiser->TimerRunning(organiserids::kLinkTimer));

    ShowArrangeSample(organiser, station, &mainWindow);
    EXPECT_EQ(organiser.get(), first);
    EXPECT_TRUE(organiser->isVisible());
    EXPECT_EQ(organiser->findChild<QLineEdit*>("field1071")->text(), "12");
    organiser->hide();
}

TEST_F(OrganiserWindowTest, EnterClicksNothing) {
    window->show();
    Import(kData / "avg-a.ini");
    QPushButton* clear = Find<QPushButton>("button", organiserids::kButtonClear);
    clear->setFocus();
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_EQ(window->Organiser().RowCount(), 1u);
    EXPECT_TRUE(window->isVisible());
}

// "整理样本" creates the organiser once over the main window, and the main window takes it
// down before the station it works on.
TEST(OrganiserMenu, CreatesTheWindowOnceAndDestroysItBeforeTheStation) {
    UiTestApp();
    TempFolder folder;
    fs::create_directories(folder.path() / "Config");
    WriteBytes(folder.path() / "Config" / "AdditionalPara1.ini",
               "[SampleInformation]\r\nNumberOfSamplesListMAX=5\r\n");
    FakeHidBackend backend;
    CountingSleeper sleeper(false);
    StationWindowOptions options;
    options.screenSize = QSize(1920, 1080);
    auto window = std::make_unique<CPanelixDlg>(backend, sleeper, folder.path().string(), options);
    EXPECT_EQ(window->OrganiserWindow(), nullptr);
    // As the configuration window does when it chooses judging by sample.
    window->EnableMenuItem(ids::kMenuSamples, true);
    window->MenuItem(ids::kMenuSamples)->trigger();
    CArrangeSample* const organiser = window->OrganiserWindow();
    ASSERT_NE(organiser, nullptr);
    EXPECT_TRUE(organiser->isVisible());
    EXPECT_EQ(organiser->parentWidget(), window.get());
    organiser->close();
    window->MenuItem(ids::kMenuSamples)->trigger();
    EXPECT_EQ(window->OrganiserWindow(), organiser);
    EXPECT_TRUE(organiser->isVisible());
    window.reset();
}

}  // namespace
