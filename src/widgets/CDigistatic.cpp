#include "widgets/CDigistatic.h"

#include <QBrush>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QtDebug>
#include <cmath>

#include "widgets/SegmentLayout.h"

namespace {

Colour ToColour(const QColor& colour) {
    return {static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()),
            static_cast<uint8_t>(colour.blue())};
}

QColor ToQColor(Colour colour) {
    return QColor(colour.r, colour.g, colour.b);
}

QColor Opaque(const QColor& colour) {
    return QColor::fromRgb(colour.rgb());
}

struct SegmentTools {
    QPen pen;
    QBrush brush;
};

SegmentTools MakeTools(const QColor& fill, const QColor& background, uint32_t style) {
    QPen pen(ToQColor(OutlineColour(ToColour(fill), ToColour(background), style)));
    pen.setWidth(1);
    pen.setStyle(Qt::SolidLine);
    return {pen, QBrush(fill)};
}

void DrawGlyph(QPainter& painter, const SegmentGlyph& glyph, const GlyphBox& box,
               const SegmentTools& litTools, const SegmentTools& unlitTools) {
    for (int i = 0; i < glyph.SegmentCount(); ++i) {
        const bool lit = glyph.IsLit(i);
        if (!lit && glyph.HidesUnlit()) {
            continue;
        }
        const SegmentPath trace = TraceSegment(glyph.Segment(i), glyph.Width(), box);
        QPainterPath path;
        for (int s = 0; s < trace.stepCount; ++s) {
            const PathStep& step = trace.steps[s];
            switch (step.op) {
                case PathStep::Op::MoveTo:
                    path.moveTo(step.x[0], step.y[0]);
                    break;
                case PathStep::Op::LineTo:
                    path.lineTo(step.x[0], step.y[0]);
                    break;
                case PathStep::Op::CubicTo:
                    path.cubicTo(step.x[0], step.y[0], step.x[1], step.y[1], step.x[2], step.y[2]);
                    break;
            }
        }
        path.closeSubpath();
        const SegmentTools& tools = lit ? litTools : unlitTools;
        painter.setPen(tools.pen);
        painter.setBrush(tools.brush);
        painter.drawPath(path);
    }
}

}  // namespace

CDigistatic::CDigistatic(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

void CDigistatic::SetDisplayText(std::string_view text) {
    if (text_.SetText(text)) {
        update();
    }
}

void CDigistatic::SetSegmentColours(const QColor& unlit, const QColor& lit) {
    if (unlit.rgb() == unlit_.rgb() && lit.rgb() == lit_.rgb()) {
        return;
    }
    unlit_ = Opaque(unlit);
    lit_ = Opaque(lit);
    update();
}

QColor CDigistatic::SetBackgroundColour(const QColor& colour) {
    const QColor previous = background_;
    if (colour.rgb() != background_.rgb()) {
        background_ = Opaque(colour);
        update();
    }
    return previous;
}

bool CDigistatic::ChangeStyle(uint32_t remove, uint32_t add) {
    if (!text_.ChangeStyle(remove, add)) {
        return false;
    }
    update();
    return true;
}

void CDigistatic::paintEvent(QPaintEvent*) {
    // Painted in device pixels so that the segments stay sharp on a scaled screen.
    const qreal ratio = devicePixelRatioF();
    const int w = static_cast<int>(std::lround(width() * ratio));
    const int h = static_cast<int>(std::lround(height() * ratio));
    if (w <= 0 || h <= 0) {
        return;
    }
    QImage buffer(w, h, QImage::Format_RGB32);
    buffer.fill(background_);
    {
        QPainter painter(&buffer);
        const SegmentTools unlitTools = MakeTools(unlit_, background_, text_.Style());
        const SegmentTools litTools = MakeTools(lit_, background_, text_.Style());
        const GlyphList& glyphs = text_.Glyphs(windowTitle().toStdString());
        const GlyphLayout layout = LayoutGlyphs(w, h, TotalGlyphWidth(glyphs), text_.Style());
        double left = layout.left;
        for (const auto& glyph : glyphs) {
            const double boxWidth = glyph->Width() * layout.sx;
            DrawGlyph(painter, *glyph, {left, layout.top, boxWidth, kGlyphHeight * layout.sy},
                      litTools, unlitTools);
            left += boxWidth;
        }
    }
    if (text_.Text() == "MAGIC") {
        qDebug("%d %d", 0, height());
    }
    buffer.setDevicePixelRatio(ratio);
    QPainter(this).drawImage(0, 0, buffer);
}
