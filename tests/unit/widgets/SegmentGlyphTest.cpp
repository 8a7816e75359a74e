#include "widgets/SegmentGlyph.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace digistyle;

struct Cell {
    int segments;
    uint16_t bits;
    friend bool operator==(const Cell&, const Cell&) = default;
};

void PrintTo(const Cell& cell, std::ostream* os) {
    *os << "{" << cell.segments << " segments, 0x" << std::hex << cell.bits << "}";
}

std::vector<Cell> CellsOf(std::string_view text, uint32_t style) {
    SegmentText display;
    display.ChangeStyle(~style, style);
    display.SetText(text);
    std::vector<Cell> cells;
    for (const auto& glyph : display.Glyphs("")) {
        cells.push_back({glyph->SegmentCount(), glyph->Bits()});
    }
    return cells;
}

TEST(SegmentGlyph, CharactersGiveTheirGlyphAndBits) {
    const struct {
        const char* name;
        const char* text;
        uint32_t style;
        std::vector<Cell> cells;
    } cases[] = {
        {"eight", "8", 0, {{7, 0x7F}}},
        {"minus", "-", 0, {{7, 0x08}}},
        {"blank", " ", 0, {{7, 0x00}}},
        {"digitsInOrder",
         "0123456789",
         0,
         {{7, 0x77},
          {7, 0x24},
          {7, 0x5D},
          {7, 0x6D},
          {7, 0x2E},
          {7, 0x6B},
          {7, 0x7B},
          {7, 0x25},
          {7, 0x7F},
          {7, 0x6F}}},
        {"eightFourteen", "8", FourteenSegmentDigits, {{14, 0x3FC0}}},
        {"minusFourteen", "-", FourteenSegmentDigits, {{14, 0x00C0}}},
        {"blankFourteen", " ", FourteenSegmentDigits, {{14, 0x0000}}},
        {"lowerCaseLetter", "a", 0, {{14, 0x3BC0}}},
        {"lettersIgnoreDigitStyle", "KZ", FourteenSegmentDigits, {{14, 0x0354}, {14, 0x240C}}},
        {"signs",
         "'()*+/\\",
         0,
         {{14, 0x0001},
          {14, 0x0014},
          {14, 0x000A},
          {14, 0x00FF},
          {14, 0x00E1},
          {14, 0x000C},
          {14, 0x0012}}},
        {"dots", ".:", 0, {{3, 4}, {3, 3}}},
        {"othersSkipped",
         "1,#\xE8\x89\xAF"
         "2",
         0,
         {{7, 0x24}, {7, 0x5D}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CellsOf(c.text, c.style), c.cells) << c.name;
    }
}

TEST(SegmentGlyph, TotalWidthCountsOnlyShownCharacters) {
    const struct {
        const char* text;
        int width;
    } cases[] = {
        {"  100", 5 * 49},
        {" 95.24", 5 * 49 + 18},
        {",#", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        SegmentText display;
        display.SetText(c.text);
        EXPECT_EQ(TotalGlyphWidth(display.Glyphs("")), c.width) << '"' << c.text << '"';
    }
}

TEST(SegmentGlyph, SegmentsAreDerivedFromTheBaseOutlines) {
    const PointKind S = PointKind::Start;
    const PointKind L = PointKind::Line;
    const PointKind C = PointKind::Curve;
    const struct {
        const char* name;
        char c;
        uint32_t style;
        int segment;
        int point;
        int pointCount;
        ShapePoint expected;
    } cases[] = {
        {"sevenTop", '8', 0, 0, 3, 4, {43, 4, L}},
        {"sevenUpperRightMirrorX", '8', 0, 2, 0, 4, {44, 6, S}},
        {"sevenLowerLeftMirrorY", '8', 0, 4, 1, 4, {4, 42, L}},
        {"sevenLowerRightReflected", '8', 0, 5, 0, 4, {44, 76, S}},
        {"sevenBottomMirrorY", '8', 0, 6, 0, 4, {5, 78, S}},
        {"sevenCurvedUpperRightOwnTable", '8', SmoothOutlines, 2, 1, 10, {39, 38, C}},
        {"sevenCurvedLowerRightMirrorY", '8', SmoothOutlines, 5, 0, 10, {37, 46, S}},
        {"fourteenLowerRightDiagonal", '8', FourteenSegmentDigits, 4, 0, 4, {43, 77, S}},
        {"fourteenBottomMirrorY", '8', FourteenSegmentDigits, 10, 0, 4, {6, 78, S}},
        {"fourteenUpperRightMirrorX", '8', FourteenSegmentDigits, 12, 2, 4, {37, 36, L}},
        {"fourteenCurvedTopLastPoint", 'M', SmoothOutlines, 13, 16, 17, {40, 4, L}},
        {"fourteenCurvedLowerCentre", 'M', SmoothOutlines, 5, 4, 13, {24, 42, C}},
        {"dotSameInBothStyles", '.', SmoothOutlines, 2, 2, 4, {13, 77, L}},
    };
    for (const auto& c : cases) {
        const auto glyph = MakeGlyph(c.c, c.style);
        ASSERT_NE(glyph, nullptr) << c.name;
        const SegmentShape& shape = glyph->Segment(c.segment);
        EXPECT_EQ(shape.pointCount, c.pointCount) << c.name;
        EXPECT_EQ(shape.points[c.point], c.expected) << c.name;
    }
}

// A run of two or more curve points is drawn from the point before it to the point after it.
TEST(SegmentGlyph, EveryCurveRunHasPointsOnBothSides) {
    for (const char c : {'8', 'M', '.'}) {
        for (const uint32_t style : {0u, SmoothOutlines, SmoothOutlines | FourteenSegmentDigits}) {
            const auto glyph = MakeGlyph(c, style);
            for (int s = 0; s < glyph->SegmentCount(); ++s) {
                const SegmentShape& shape = glyph->Segment(s);
                ASSERT_GE(shape.pointCount, 4);
                EXPECT_EQ(shape.points[0].kind, PointKind::Start) << c << " segment " << s;
                EXPECT_NE(shape.points[shape.pointCount - 1].kind, PointKind::Curve)
                    << c << " segment " << s;
                int run = 0;
                for (int p = 1; p < shape.pointCount; ++p) {
                    EXPECT_NE(shape.points[p].kind, PointKind::Start) << c << " segment " << s;
                    if (shape.points[p].kind == PointKind::Curve) {
                        ++run;
                    } else {
                        EXPECT_NE(run, 1) << c << " segment " << s << " point " << p;
                        run = 0;
                    }
                }
            }
        }
    }
}

TEST(SegmentText, RebuildsLazilyOnTextOrStyleChange) {
    SegmentText display;
    EXPECT_EQ(display.Style(), KeepAspect | SoftEdges);
    EXPECT_TRUE(display.RebuildNeeded());

    // "?" shows the window's own text, which is kept in upper case.
    EXPECT_EQ(display.Glyphs("ok 1").size(), 4u);
    EXPECT_EQ(display.Text(), "OK 1");
    EXPECT_FALSE(display.RebuildNeeded());

    const SegmentGlyph* first = display.Glyphs("").front().get();
    EXPECT_FALSE(display.SetText("OK 1"));
    EXPECT_FALSE(display.RebuildNeeded());
    EXPECT_EQ(display.Glyphs("").front().get(), first);

    EXPECT_TRUE(display.ChangeStyle(0, LitOnly));
    EXPECT_TRUE(display.RebuildNeeded());
    EXPECT_TRUE(display.Glyphs("").front()->HidesUnlit());

    EXPECT_TRUE(display.SetText("8"));
    EXPECT_TRUE(display.ChangeStyle(KeepAspect, FourteenSegmentDigits));
    EXPECT_EQ(display.Style(), FourteenSegmentDigits | LitOnly | SoftEdges);
    EXPECT_EQ(display.Glyphs("").front()->SegmentCount(), 14);
}

TEST(SegmentText, OverlappingStyleChangeIsRefused) {
    SegmentText display;
    display.Glyphs("");
    EXPECT_FALSE(display.ChangeStyle(LitOnly | KeepAspect, KeepAspect));
    EXPECT_EQ(display.Style(), KeepAspect | SoftEdges);
    EXPECT_FALSE(display.RebuildNeeded());
}

}  // namespace
