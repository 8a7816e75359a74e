#include "widgets/SegmentLayout.h"

#include <algorithm>

#include "widgets/Curvefit.h"

namespace {

uint8_t Blend(uint8_t fill, uint8_t background) {
    return static_cast<uint8_t>(0.75 * fill + 0.25 * background);
}

// A wild fitted control point must not overflow the conversion; no real one comes near.
constexpr double kPixelLimit = 1.0e6;

int ToPixel(double value) {
    const double shifted = value + 0.5;
    if (!(shifted > -kPixelLimit)) {
        return static_cast<int>(-kPixelLimit);
    }
    return static_cast<int>(std::min(shifted, kPixelLimit));
}

}  // namespace

Colour OutlineColour(Colour fill, Colour background, uint32_t style) {
    if ((style & digistyle::SoftEdges) == 0) {
        return fill;
    }
    return {Blend(fill.r, background.r), Blend(fill.g, background.g), Blend(fill.b, background.b)};
}

GlyphLayout LayoutGlyphs(int width, int height, int totalWidth, uint32_t style) {
    GlyphLayout layout;
    if (totalWidth <= 0) {
        return layout;
    }
    layout.sx = static_cast<double>(width) / totalWidth;
    layout.sy = height / static_cast<double>(kGlyphHeight);
    if ((style & digistyle::KeepAspect) != 0) {
        const double s = std::min(layout.sx, layout.sy);
        layout.sx = s;
        layout.sy = s;
        layout.left = (width - totalWidth * s) / 2.0;
        layout.top = (height - kGlyphHeight * s) / 2.0;
    }
    return layout;
}

SegmentPath TraceSegment(const SegmentShape& shape, int glyphWidth, const GlyphBox& box) {
    SegmentPath path;
    const int count = std::clamp(shape.pointCount, 0, kMaxShapePoints);
    if (glyphWidth <= 0) {
        return path;
    }
    const double qx = box.width / glyphWidth;
    const double qy = box.height / kGlyphHeight;
    const auto mappedX = [&](int i) { return shape.points[i].x * qx + box.left; };
    const auto mappedY = [&](int i) { return shape.points[i].y * qy + box.top; };
    const auto addStep = [&](PathStep::Op op, int i) {
        PathStep& step = path.steps[path.stepCount++];
        step.op = op;
        step.x[0] = ToPixel(mappedX(i));
        step.y[0] = ToPixel(mappedY(i));
    };

    for (int i = 0; i < count;) {
        const PointKind kind = shape.points[i].kind;
        if (kind != PointKind::Curve) {
            addStep(kind == PointKind::Start ? PathStep::Op::MoveTo : PathStep::Op::LineTo, i);
            ++i;
            continue;
        }
        int end = i;
        while (end < count && shape.points[end].kind == PointKind::Curve) {
            ++end;
        }
        if (i == 0 || end == count) {
            for (; i < end; ++i) {
                addStep(i == 0 ? PathStep::Op::MoveTo : PathStep::Op::LineTo, i);
            }
            continue;
        }
        std::array<double, 2 * kMaxShapePoints> fitPoints;
        int n = 0;
        for (int p = i - 1; p <= end; ++p) {
            fitPoints[n++] = mappedX(p);
            fitPoints[n++] = mappedY(p);
        }
        const BezierControls controls =
            FitCubicBezier(std::span<const double>(fitPoints.data(), n));
        PathStep& step = path.steps[path.stepCount++];
        step.op = PathStep::Op::CubicTo;
        step.x = {ToPixel(controls.p1x), ToPixel(controls.p2x), ToPixel(mappedX(end))};
        step.y = {ToPixel(controls.p1y), ToPixel(controls.p2y), ToPixel(mappedY(end))};
        i = end + 1;
    }
    return path;
}
