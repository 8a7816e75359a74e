#include <gtest/gtest.h>

#include <QColor>
#include <QStyleOptionViewItem>

#include "app/CNodeGridModel.h"
#include "ui/UiTestApp.h"

namespace {

const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

TEST(GridColumnWidths, ShareTheScreenWithinTheirBounds) {
    const struct {
        const char* name;
        int screenWidth;
        int xChannels;
        int caption;
        int channel;
    } cases[] = {
        {"thirtyTwoChannels", 1920, 32, 30, 59}, {"tenChannelsCappedAt60", 1920, 10, 30, 60},
        {"twentyChannels", 1920, 20, 30, 60},    {"narrowScreenRaisedTo43", 800, 32, 25, 43},
        {"noChannelNoDivision", 1920, 0, 30, 0},
    };
    for (const auto& c : cases) {
        const GridColumnWidths widths = ComputeGridColumnWidths(c.screenWidth, c.xChannels);
        EXPECT_EQ(widths.captionWidth, c.caption) << c.name;
        EXPECT_EQ(widths.channelWidth, c.channel) << c.name;
    }
}

// A 4 x 3 panel: X 0..2 and Y 0..1 visible area, node (3, 2) a key, X 3 not displayed.
class NodeGrid : public ::testing::Test {
protected:
    NodeGrid() {
        UiTestApp();
        config.x_channel_valid = 4;
        config.y_channel_valid = 3;
        config.rawdata_va_min = 100;
        config.rawdata_va_max = 1000;
        config.rawdata_key_min = 50;
        config.rawdata_key_max = 500;
        for (int x = 0; x < 3; ++x) {
            config.display_area_x[x] = 1;
            config.test_va_area_x[x] = 1;
        }
        for (int y = 0; y < 3; ++y) {
            config.display_area_y[y] = 1;
        }
        config.test_va_area_y[0] = config.test_va_area_y[1] = 1;
        config.test_key_area_x[3] = 1;
        config.test_key_area_y[2] = 1;
        for (auto& column : nodes) {
            column.fill(500);
        }
        model.Rebuild();
    }

    TestConfig config;
    int32_t criterion = 0;
    LimitMatrix low{};
    LimitMatrix high{};
    SelfTestFlags flags;
    NodeValueMatrix nodes{};
    CNodeGridModel model{NodeGridSource{config, criterion, low, high, flags}};
};

TEST_F(NodeGrid, CaptionsFollowTheChannelCounts) {
    config.x_channel_valid = 20;
    config.y_channel_valid = 30;
    model.Rebuild();
    ASSERT_EQ(model.columnCount(), 21);
    ASSERT_EQ(model.rowCount(), 30);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), " X 0");
    EXPECT_EQ(model.headerData(20, Qt::Horizontal, Qt::DisplayRole).toString(), " X19");
    EXPECT_EQ(model.CellText(0, 0), "Y 0");
    EXPECT_EQ(model.CellText(29, 0), "Y29");
    EXPECT_EQ(model.CellText(29, 20), "");

    config.x_channel_valid = 0;
    model.Rebuild();
    EXPECT_EQ(model.columnCount(), 1);
    EXPECT_EQ(model.CellText(5, 0), "Y 5");
}

TEST_F(NodeGrid, CellsShowTheDisplayRule) {
    nodes[0][0] = 523;
    nodes[1][0] = 65535;
    nodes[3][0] = 777;             // X 3 is not displayed
    config.test_va_area_y[1] = 0;  // row 1 displayed but untested
    model.DisplayNodeValues(nodes);
    EXPECT_EQ(model.CellText(0, 1), "  523");
    EXPECT_EQ(model.CellText(0, 2), "65535");
    EXPECT_EQ(model.CellText(0, 4), "    0");
    EXPECT_EQ(model.CellText(1, 1), "");
    EXPECT_EQ(model.CellText(2, 4), "    0");
}

TEST_F(NodeGrid, DisplayingReportsTheWholeGridOnce) {
    int changes = 0;
    QModelIndex first;
    QModelIndex last;
    QObject::connect(&model, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& a, const QModelIndex& b) {
                         ++changes;
                         first = a;
                         last = b;
                     });
    model.DisplayNodeValues(nodes);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(first, model.index(0, 1));
    EXPECT_EQ(last, model.index(2, 4));
}

TEST_F(NodeGrid, ColoursFollowLimitsAndPinFaults) {
    nodes[0][0] = 99;    // below the visible-area limit
    nodes[1][1] = 1001;  // above it
    nodes[2][0] = 100;   // on the limit
    model.DisplayNodeValues(nodes);
    // Node (3, 2) is a key shown as "    0" because X 3 is not displayed: red against 50.
    const struct {
        const char* name;
        uint8_t pinFaultX;
        uint8_t pinFaultY;
        int row;
        int column;
        QColor colour;
    } cases[] = {
        {"lowNodeRed", 0, 0, 0, 1, kRed},
        {"highNodeRed", 0, 0, 1, 2, kRed},
        {"limitValueBlack", 0, 0, 0, 3, kBlack},
        {"hiddenKeyShownAsZeroRed", 0, 0, 2, 4, kRed},
        {"untestedBlack", 0, 0, 2, 1, kBlack},
        {"captionBlack", 6, 0, 0, 0, kBlack},
        {"faultColumnBlue", 2, 0, 0, 2, kBlue},
        {"faultColumnOverRed", 2, 0, 1, 2, kBlue},
        {"faultColumnLeavesUntestedBlack", 1, 0, 2, 1, kBlack},
        {"noFaultRowForY0", 2, 0, 0, 1, kRed},
        {"faultRowBlue", 0, 2, 1, 3, kBlue},
        {"faultRowOverRed", 0, 1, 0, 1, kBlue},
    };
    for (const auto& c : cases) {
        flags.pinFaultX = c.pinFaultX;
        flags.pinFaultY = c.pinFaultY;
        EXPECT_EQ(model.data(model.index(c.row, c.column), Qt::ForegroundRole).value<QColor>(),
                  c.colour)
            << c.name;
        EXPECT_EQ(model.data(model.index(c.row, c.column), Qt::BackgroundRole).value<QColor>(),
                  QColor(255, 255, 255))
            << c.name;
    }
}

// Selecting a row must not paint its failed nodes in the selection's text colour.
TEST_F(NodeGrid, SelectionKeepsTheColours) {
    struct Delegate : CNodeGridDelegate {
        using CNodeGridDelegate::initStyleOption;
    } delegate;
    nodes[0][0] = 99;
    model.DisplayNodeValues(nodes);
    flags.pinFaultX = 3;
    const struct {
        int column;
        QColor colour;
    } cases[] = {{1, kRed}, {2, kBlack}, {3, kBlue}};
    for (const auto& c : cases) {
        QStyleOptionViewItem option;
        option.state |= QStyle::State_Selected;
        delegate.initStyleOption(&option, model.index(0, c.column));
        EXPECT_EQ(option.palette.color(QPalette::HighlightedText), c.colour) << c.column;
    }
}

TEST_F(NodeGrid, ColoursFollowTheCriterionAtPaintTime) {
    model.DisplayNodeValues(nodes);
    const QModelIndex node = model.index(0, 1);
    EXPECT_EQ(model.CellColour(0, 1), kBlack);
    config.rawdata_va_min = 600;
    EXPECT_EQ(model.data(node, Qt::ForegroundRole).value<QColor>(), kRed);
    // By sample deviation the per-node limits apply: 0..0 until a sample is in use.
    config.rawdata_va_min = 100;
    criterion = 1;
    EXPECT_EQ(model.data(node, Qt::ForegroundRole).value<QColor>(), kRed);
    low[0][0] = 400;
    high[0][0] = 600;
    EXPECT_EQ(model.data(node, Qt::ForegroundRole).value<QColor>(), kBlack);
}

}  // namespace
