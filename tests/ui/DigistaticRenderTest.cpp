#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTest>
#include <functional>

#include "ui/UiTestApp.h"
#include "widgets/CDigistatic.h"

namespace {

const QColor kBackground(0, 0, 0);
const QColor kUnlit(0, 0, 255);
const QColor kLit(0, 255, 0);

// One glyph in 98 × 166 pixels: scale 2, no margins, so design (x, y) is pixel (2x, 2y).
QImage Render(const char* text, uint32_t addStyle, uint32_t removeStyle = 0) {
    UiTestApp();
    CDigistatic display;
    display.resize(98, 166);
    display.SetBackgroundColour(kBackground);
    display.SetSegmentColours(kUnlit, kLit);
    display.ChangeStyle(removeStyle, addStyle);
    display.SetDisplayText(text);
    QImage image(display.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    display.render(&painter);
    return image;
}

QColor PixelAt(const QImage& image, int designX, int designY) {
    return image.pixelColor(2 * designX, 2 * designY);
}

TEST(Digistatic, PaintsLitAndUnlitSegments) {
    const struct {
        const char* name;
        const char* text;
        uint32_t style;
        QColor top;
        QColor middle;
        QColor upperLeft;
    } cases[] = {
        {"eight", "8", 0, kLit, kLit, kLit},
        {"minus", "-", 0, kUnlit, kLit, kUnlit},
        {"minusLitOnly", "-", digistyle::LitOnly, kBackground, kLit, kBackground},
        {"eightCurved", "8", digistyle::SmoothOutlines, kLit, kLit, kLit},
        {"minusCurvedLitOnly", "-", digistyle::SmoothOutlines | digistyle::LitOnly, kBackground,
         kLit, kBackground},
    };
    for (const auto& c : cases) {
        const QImage image = Render(c.text, c.style);
        EXPECT_EQ(PixelAt(image, 24, 7), c.top) << c.name;
        EXPECT_EQ(PixelAt(image, 24, 41), c.middle) << c.name;
        EXPECT_EQ(PixelAt(image, 7, 24), c.upperLeft) << c.name;
        // Outside every segment the background shows; nothing is left unpainted.
        EXPECT_EQ(PixelAt(image, 24, 24), kBackground) << c.name;
        EXPECT_EQ(image.pixelColor(0, 0), kBackground) << c.name;
    }
}

TEST(Digistatic, SoftEdgesDarkenTheOutline) {
    // The middle segment's upper edge runs along design y = 37; its fill is below.
    const QImage soft = Render("-", 0);
    EXPECT_EQ(PixelAt(soft, 24, 37), QColor(0, 191, 0));
    EXPECT_EQ(PixelAt(soft, 24, 39), kLit);
    const QImage hard = Render("-", 0, digistyle::SoftEdges);
    EXPECT_EQ(PixelAt(hard, 24, 37), kLit);
}

}  // namespace

namespace {

class CountingDigistatic : public CDigistatic {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        CDigistatic::paintEvent(event);
    }
};

// A requested repaint arrives well within this on the offscreen platform.
constexpr int kRepaintWaitMs = 200;

bool RepaintsAfter(CountingDigistatic& display, int before) {
    return QTest::qWaitFor([&] { return display.paints > before; }, kRepaintWaitMs);
}

TEST(Digistatic, RepaintsOnlyOnAChange) {
    UiTestApp();
    CountingDigistatic display;
    display.resize(98, 166);
    display.show();
    display.SetDisplayText("    1");
    display.SetSegmentColours(kUnlit, kLit);
    display.SetBackgroundColour(kBackground);
    ASSERT_TRUE(RepaintsAfter(display, 0));

    const struct {
        const char* name;
        std::function<void()> change;
        bool repaints;
    } cases[] = {
        {"sameText", [&] { display.SetDisplayText("    1"); }, false},
        {"sameColours", [&] { display.SetSegmentColours(kUnlit, kLit); }, false},
        {"sameBackground", [&] { display.SetBackgroundColour(kBackground); }, false},
        {"refusedStyle", [&] { display.ChangeStyle(digistyle::LitOnly, digistyle::LitOnly); },
         false},
        {"newText", [&] { display.SetDisplayText("    2"); }, true},
        {"newLitColour", [&] { display.SetSegmentColours(kUnlit, QColor(255, 0, 0)); }, true},
        {"newBackground", [&] { display.SetBackgroundColour(QColor(1, 2, 3)); }, true},
        {"style", [&] { display.ChangeStyle(0, digistyle::LitOnly); }, true},
    };
    for (const auto& c : cases) {
        const int before = display.paints;
        c.change();
        EXPECT_EQ(RepaintsAfter(display, before), c.repaints) << c.name;
    }
    EXPECT_EQ(display.SetBackgroundColour(kBackground), QColor(1, 2, 3));
}

}  // namespace
