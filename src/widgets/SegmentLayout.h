#pragma once

#include <array>
#include <cstdint>

#include "app/StationView.h"
#include "widgets/SegmentGlyph.h"

// The geometry of painting a digit display, in pixels: where the glyphs go, what colour the
// outlines take and the path each segment is drawn with. The window control hands the
// result to its painter unchanged.

// Outline colour of a segment: fill itself, or with SoftEdges each channel
// 0.75 × fill + 0.25 × background, truncated toward zero.
Colour OutlineColour(Colour fill, Colour background, uint32_t style);

// Scales (pixels per design unit) and the top-left corner of the first glyph.
struct GlyphLayout {
    double sx = 0;
    double sy = 0;
    double left = 0;
    double top = 0;
};

// For a client area of width × height pixels and glyphs totalWidth units wide:
// sx = width / totalWidth, sy = height / 83; with KeepAspect both take the smaller and the
// text is centred. A totalWidth of 0 or less (nothing to draw) gives sx = 0.
GlyphLayout LayoutGlyphs(int width, int height, int totalWidth, uint32_t style);

// The box one glyph is drawn in, in pixels.
struct GlyphBox {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// One step of a segment's path in integer pixels. MoveTo and LineTo use point 0; CubicTo
// goes through the control points 0 and 1 to point 2.
struct PathStep {
    enum class Op : uint8_t { MoveTo, LineTo, CubicTo };
    Op op = Op::MoveTo;
    std::array<int, 3> x{};
    std::array<int, 3> y{};
};

// A segment's figure, not yet closed; at most one step per outline point.
struct SegmentPath {
    int stepCount = 0;
    std::array<PathStep, kMaxShapePoints> steps{};
};

// The path of one segment of a glyph glyphWidth units wide drawn in box. Start and line
// points map to (x·qx + left + 0.5, y·qy + top + 0.5) truncated toward zero, with
// qx = box.width / glyphWidth and qy = box.height / 83. A run of curve points becomes one
// cubic Bézier fitted through the points before, in and after the run (unrounded), ending at
// the point after the run; a run without a point on either side is drawn as lines.
SegmentPath TraceSegment(const SegmentShape& shape, int glyphWidth, const GlyphBox& box);
