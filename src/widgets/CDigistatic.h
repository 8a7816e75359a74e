#pragma once

#include <QColor>
#include <QWidget>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "widgets/DisplayFormat.h"
#include "widgets/SegmentGlyph.h"

// A segment digit display: paints its text as lit and unlit segments of seven- and
// fourteen-segment glyphs, scaled to fill the widget. The station's OK, NG and yield counters.
// UI thread only.
//
// Initially: text "?" (which shows windowTitle()), unlit (0, 52, 0), lit (0, 255, 0), black
// background, style digistyle::Initial (KeepAspect + SoftEdges).
class CDigistatic : public QWidget {
    Q_OBJECT

public:
    explicit CDigistatic(QWidget* parent = nullptr);

    // Stores text and repaints when it differs from the current one; otherwise does nothing.
    // Characters without a glyph (anything but digits, letters, blank and - ' ( ) * + / \ . :)
    // are skipped; lower-case letters show in upper case.
    void SetDisplayText(std::string_view text);

    // printf-style ("%5d", "%6.2f", ...) into the text, independent of the locale; see
    // FormatPrintf for what the format may hold.
    template <typename... Args>
    void FormatDisplayText(std::string_view format, const Args&... args) {
        const std::array<PrintfArg, sizeof...(Args)> list{PrintfArg(args)...};
        SetDisplayText(FormatPrintf(format, list));
    }

    // Repaints when either colour differs (alpha is ignored).
    void SetSegmentColours(const QColor& unlit, const QColor& lit);
    // Repaints when colour differs; returns the colour it replaced.
    QColor SetBackgroundColour(const QColor& colour);
    // style = (style | add) & ~remove (digistyle bits) and repaints; refused with false,
    // nothing changed, when remove and add share a bit.
    bool ChangeStyle(uint32_t remove, uint32_t add);

    // The text as stored: in upper case once it has been painted.
    const std::string& DisplayText() const { return text_.Text(); }
    uint32_t Style() const { return text_.Style(); }
    QColor UnlitColour() const { return unlit_; }
    QColor LitColour() const { return lit_; }
    QColor BackgroundColour() const { return background_; }

protected:
    // Paints into an off-screen image filled with the background and copies it once; the
    // widget never erases its background separately. The text "MAGIC" also writes the client
    // area's top and bottom to qDebug.
    void paintEvent(QPaintEvent* event) override;

private:
    SegmentText text_;
    QColor unlit_{0, 52, 0};
    QColor lit_{0, 255, 0};
    QColor background_{0, 0, 0};
};
