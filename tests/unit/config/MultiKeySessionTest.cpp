#include "config/MultiKeySession.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "support/FakeStationView.h"

namespace {

constexpr const char* kRefusal = "该节点无效";
constexpr const char* kLayoutQuestion = "按键配置错误，继续更改(确定)，还是放弃(取消)？";

// A working copy with the given key channels checked, as the configuration window holds it.
WorkingConfig KeyChannels(std::initializer_list<size_t> x, std::initializer_list<size_t> y) {
    WorkingConfig working;
    for (const size_t channel : x) {
        working.test_key_area_x[channel] = 1;
        ++working.keyCountX;
    }
    for (const size_t channel : y) {
        working.test_key_area_y[channel] = 1;
        ++working.keyCountY;
    }
    return working;
}

size_t Item(size_t column, size_t row) {
    return column * MultiKeySession::kSide + row;
}

// Key X 4, 9, 17 and key Y 40, 41: three key columns of two key rows.
class MultiKeySessionTest : public ::testing::Test {
protected:
    MultiKeySessionTest() : working(KeyChannels({4, 9, 17}, {40, 41})) {}

    WorkingConfig working;
    FakeStationView view;
};

TEST_F(MultiKeySessionTest, ShowsTheKeyChannelsAndTheEndOfTheRows) {
    MultiKeySession session(working, view);
    session.Open();
    EXPECT_EQ(session.ItemCount(), 24u);
    EXPECT_EQ(session.Columns(), 3u);
    EXPECT_EQ(session.Rows(), 2u);
    const std::array<std::string, 8> columns = {"X 4", "X 9", "X17", "", "", "", "", ""};
    const std::array<std::string, 8> rows = {"Y40", "Y41", "------", "", "", "", "", ""};
    EXPECT_EQ(session.ColumnLabels(), columns);
    EXPECT_EQ(session.RowLabels(), rows);
}

TEST_F(MultiKeySessionTest, RefusesEveryTickBelowTheLastKeyRow) {
    MultiKeySession session(working, view);
    session.Open();
    for (size_t c = 0; c < 3; ++c) {
        for (size_t r = 0; r < 8; ++r) {
            view.messages.clear();
            session.SetItemChecked(Item(c, r), true);
            const bool keyRow = r < 2;
            EXPECT_EQ(session.ItemChecked(Item(c, r)), keyRow) << c << " " << r;
            ASSERT_EQ(view.messages.size(), keyRow ? 0u : 1u) << c << " " << r;
            if (!keyRow) {
                EXPECT_EQ(view.messages[0].text, kRefusal);
                EXPECT_EQ(view.messages[0].caption, "提示");
                EXPECT_EQ(view.messages[0].icon, MessageIcon::Stop);
            }
        }
    }
    // Items beyond the key columns do not exist.
    session.SetItemChecked(Item(3, 0), true);
    EXPECT_FALSE(session.ItemChecked(Item(3, 0)));
}

TEST_F(MultiKeySessionTest, HandedInCrossingBelowTheKeyRowsIsRefusedButKept) {
    working.multikey_matrix[0][0] = 1;
    working.multikey_matrix[1][1] = 1;
    working.multikey_matrix[1][2] = 1;
    working.multikey_matrix[3][1] = 1;  // the key rows were reduced since it was defined
    MultiKeySession session(working, view);
    session.Open();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, kRefusal);
    EXPECT_FALSE(session.ItemChecked(Item(1, 3)));
    EXPECT_TRUE(session.ItemChecked(Item(1, 1)));

    const WorkingConfig::KeyMatrix before = working.multikey_matrix;
    EXPECT_TRUE(session.Close());
    EXPECT_EQ(working.multikey_matrix, before);
    EXPECT_FALSE(working.multiKeyChanged);
}

TEST_F(MultiKeySessionTest, ClosingNeedsAKeyInEveryKeyColumnAndRow) {
    const struct {
        const char* name;
        std::vector<std::pair<size_t, size_t>> keys;  // (column, row)
        bool acceptable;
    } cases[] = {
        {"columnOneEmpty", {{0, 0}, {2, 1}}, false},
        {"rowOneEmpty", {{0, 0}, {1, 0}, {2, 0}}, false},
        {"nothing", {}, false},
        {"diagonalAndMore", {{0, 0}, {1, 1}, {2, 1}}, true},
    };
    for (const auto& c : cases) {
        for (const MessageAnswer answer : {MessageAnswer::Ok, MessageAnswer::Cancel}) {
            WorkingConfig copy = working;
            MultiKeySession session(copy, view);
            session.Open();
            for (const auto& [column, row] : c.keys) {
                session.SetItemChecked(Item(column, row), true);
            }
            view.messages.clear();
            view.messageAnswers = {answer};
            const bool closes = session.Close();
            if (c.acceptable) {
                EXPECT_TRUE(closes) << c.name;
                EXPECT_TRUE(view.messages.empty()) << c.name;
                EXPECT_TRUE(copy.multiKeyChanged) << c.name;
                EXPECT_EQ(copy.multikey_matrix[1][2], 1) << c.name;
                continue;
            }
            ASSERT_EQ(view.messages.size(), 1u) << c.name;
            EXPECT_EQ(view.messages[0].text, kLayoutQuestion) << c.name;
            EXPECT_EQ(view.messages[0].caption, "按键错误") << c.name;
            EXPECT_EQ(view.messages[0].buttons, MessageButtons::OkCancel) << c.name;
            EXPECT_EQ(view.messages[0].icon, MessageIcon::Stop) << c.name;
            EXPECT_EQ(closes, answer == MessageAnswer::Cancel) << c.name;
            EXPECT_EQ(copy.multikey_matrix, working.multikey_matrix) << c.name;
            EXPECT_FALSE(copy.multiKeyChanged) << c.name;
        }
    }
}

TEST_F(MultiKeySessionTest, HandsBackOnlyAChangeAndOnlyItsOwnCrossings) {
    // Outside the key columns and rows: never touched, whatever the window does.
    working.multikey_matrix[0][5] = 1;
    working.multikey_matrix[6][0] = 1;
    working.multikey_matrix[0][0] = 1;
    working.multikey_matrix[1][1] = 1;
    working.multikey_matrix[0][2] = 1;

    {
        MultiKeySession session(working, view);
        session.Open();
        view.messages.clear();  // the refusal of [6][0] while opening
        EXPECT_TRUE(session.Close());
        EXPECT_FALSE(working.multiKeyChanged);
    }
    {
        MultiKeySession session(working, view);
        session.Open();
        session.SetItemChecked(Item(2, 0), false);
        session.SetItemChecked(Item(2, 1), true);
        EXPECT_TRUE(session.Close());
        EXPECT_TRUE(working.multiKeyChanged);
        EXPECT_EQ(working.multikey_matrix[0][2], 0);
        EXPECT_EQ(working.multikey_matrix[1][2], 1);
    }
    {
        // A flag already set copies the matrix even when this opening changed nothing.
        MultiKeySession session(working, view);
        session.Open();
        EXPECT_TRUE(session.Close());
    }
    EXPECT_EQ(working.multikey_matrix[0][5], 1);
    EXPECT_EQ(working.multikey_matrix[6][0], 1);
    EXPECT_EQ(working.multikey_matrix[0][0], 1);
    EXPECT_EQ(working.multikey_matrix[1][1], 1);
}

TEST(MultiKeyLayout, MoreThanEightKeyChannelsShowTheFirstEight) {
    WorkingConfig working =
        KeyChannels({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18});
    FakeStationView view;
    MultiKeySession session(working, view);
    session.Open();
    EXPECT_EQ(session.Columns(), 8u);
    EXPECT_EQ(session.Rows(), 8u);
    EXPECT_EQ(session.ItemCount(), 64u);
    EXPECT_EQ(session.ColumnLabels()[7], "X 7");
    EXPECT_EQ(session.RowLabels()[7], "Y17");  // no marker: every row label is a key row

    for (size_t i = 0; i < 8; ++i) {
        session.SetItemChecked(Item(i, i), true);
    }
    EXPECT_TRUE(view.messages.empty());
    EXPECT_TRUE(session.Close());
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(working.multikey_matrix[7][7], 1);
}

}  // namespace
