#include "widgets/SegmentLayout.h"

#include <gtest/gtest.h>

#include "widgets/Curvefit.h"

namespace {

using namespace digistyle;

TEST(SegmentLayout, SoftEdgesBlendTheOutlineTowardTheBackground) {
    const struct {
        const char* name;
        Colour fill;
        Colour background;
        uint32_t style;
        Colour outline;
    } cases[] = {
        {"magentaOnBlack", {255, 0, 255}, {0, 0, 0}, SoftEdges, {191, 0, 191}},
        {"greyOnBlack", {192, 192, 192}, {0, 0, 0}, SoftEdges, {144, 144, 144}},
        {"blackOnWhiteTruncates", {0, 0, 0}, {255, 255, 255}, SoftEdges, {63, 63, 63}},
        {"mixed", {10, 20, 30}, {250, 2, 101}, SoftEdges, {70, 15, 47}},
        {"withoutSoftEdges", {255, 0, 255}, {0, 0, 0}, KeepAspect, {255, 0, 255}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OutlineColour(c.fill, c.background, c.style), c.outline) << c.name;
    }
}

TEST(SegmentLayout, ScalesAndCentring) {
    const struct {
        const char* name;
        int width;
        int height;
        int totalWidth;
        uint32_t style;
        GlyphLayout expected;
    } cases[] = {
        {"keepAspectWide",
         300,
         60,
         245,
         KeepAspect,
         {60 / 83.0, 60 / 83.0, (300 - 245 * (60 / 83.0)) / 2, 0}},
        {"keepAspectTall", 98, 300, 49, KeepAspect | LitOnly, {2.0, 2.0, 0, (300 - 83 * 2.0) / 2}},
        {"stretched", 300, 60, 245, SoftEdges, {300 / 245.0, 60 / 83.0, 0, 0}},
        {"nothingToShow", 300, 60, 0, KeepAspect, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const GlyphLayout layout = LayoutGlyphs(c.width, c.height, c.totalWidth, c.style);
        EXPECT_DOUBLE_EQ(layout.sx, c.expected.sx) << c.name;
        EXPECT_DOUBLE_EQ(layout.sy, c.expected.sy) << c.name;
        EXPECT_DOUBLE_EQ(layout.left, c.expected.left) << c.name;
        EXPECT_DOUBLE_EQ(layout.top, c.expected.top) << c.name;
    }
}

using Op = PathStep::Op;

TEST(SegmentLayout, StraightOutlineMapsEveryPointToItsPixel) {
    const auto glyph = MakeGlyph('8', 0);
    // Top: (5,4) (12,11) (36,11) (43,4) in a box scaled 1.5 × 0.5 at (10.3, 5.2).
    const SegmentPath path = TraceSegment(glyph->Segment(0), 49, {10.3, 5.2, 49 * 1.5, 83 * 0.5});
    ASSERT_EQ(path.stepCount, 4);
    const struct {
        Op op;
        int x;
        int y;
    } expected[] = {
        {Op::MoveTo, 18, 7}, {Op::LineTo, 28, 11}, {Op::LineTo, 64, 11}, {Op::LineTo, 75, 7}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(path.steps[i].op, expected[i].op) << i;
        EXPECT_EQ(path.steps[i].x[0], expected[i].x) << i;
        EXPECT_EQ(path.steps[i].y[0], expected[i].y) << i;
    }
}

TEST(SegmentLayout, CurveRunBecomesOneFittedBezier) {
    const auto glyph = MakeGlyph('8', SmoothOutlines);
    // Top: M(6,4) C(5,5) C(5,6) C(8,9) L(12,11) L(36,11) L(39,4), drawn at scale 2.
    const GlyphBox box{3.0, 1.0, 98.0, 166.0};
    const SegmentPath path = TraceSegment(glyph->Segment(0), 49, box);
    ASSERT_EQ(path.stepCount, 4);
    EXPECT_EQ(path.steps[0].op, Op::MoveTo);
    EXPECT_EQ(path.steps[1].op, Op::CubicTo);
    EXPECT_EQ(path.steps[2].op, Op::LineTo);
    EXPECT_EQ(path.steps[3].op, Op::LineTo);
    // The curve ends at (12,11), which it consumes; the lines go on from there.
    EXPECT_EQ(path.steps[1].x[2], 27);
    EXPECT_EQ(path.steps[1].y[2], 23);
    EXPECT_EQ(path.steps[2].x[0], 75);

    // The fit sees the point before, the run and the point after, unrounded.
    const double points[] = {15, 9, 13, 11, 13, 13, 19, 19, 27, 23};
    const BezierControls controls = FitCubicBezier(points);
    EXPECT_EQ(path.steps[1].x[0], static_cast<int>(controls.p1x + 0.5));
    EXPECT_EQ(path.steps[1].y[0], static_cast<int>(controls.p1y + 0.5));
    EXPECT_EQ(path.steps[1].x[1], static_cast<int>(controls.p2x + 0.5));
    EXPECT_EQ(path.steps[1].y[1], static_cast<int>(controls.p2y + 0.5));
}

}  // namespace
