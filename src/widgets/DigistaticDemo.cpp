// Renders the three counters as the station sets them up, and every style and glyph family
// side by side, into one PNG: digistatic-demo [OUT.png] (default digistatic-demo.png).
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdio>

#include "widgets/CDigistatic.h"

namespace {

constexpr int kMargin = 8;

// The main window's set-up of a counter display.
CDigistatic& AddCounter(QWidget& page, QRect area, const QColor& lit) {
    auto* display = new CDigistatic(&page);
    display->setGeometry(area);
    display->SetBackgroundColour(QColor(0, 0, 0));
    display->SetSegmentColours(QColor(192, 192, 192), lit);
    display->ChangeStyle(0, digistyle::LitOnly);
    return *display;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : "digistatic-demo.png";

    // The page owns the displays.
    QWidget page;
    page.setAttribute(Qt::WA_DontShowOnScreen);

    // The counters after one PASS and one NG.
    const int counterWidth = 300;
    const int counterHeight = 90;
    int y = kMargin;
    const int okCount = 1;
    const int ngCount = 1;
    const float yieldPercent = 50.0f;
    AddCounter(page, {kMargin, y, counterWidth, counterHeight}, QColor(0, 255, 0))
        .FormatDisplayText("%5d", okCount);
    AddCounter(page, {2 * kMargin + counterWidth, y, counterWidth, counterHeight},
               QColor(255, 0, 0))
        .FormatDisplayText("%5d", ngCount);
    AddCounter(page, {3 * kMargin + 2 * counterWidth, y, counterWidth, counterHeight},
               QColor(255, 0, 255))
        .FormatDisplayText("%6.2f", yieldPercent);
    y += counterHeight + 2 * kMargin;

    // Each style on the initial colours, unlit segments shown.
    const char* const texts[] = {"-0123456789 .:", "ABCDEFGHIJKLM", "NOPQRSTUVWXYZ",
                                 "*+()/\\' 12:34"};
    const uint32_t styles[] = {0, digistyle::SmoothOutlines, digistyle::FourteenSegmentDigits,
                               digistyle::SmoothOutlines | digistyle::FourteenSegmentDigits};
    const int cellWidth = (3 * counterWidth + 2 * kMargin - kMargin) / 2;
    const int cellHeight = 70;
    for (int s = 0; s < 4; ++s) {
        const int x = kMargin + (s % 2) * (cellWidth + kMargin);
        int rowY = y + (s / 2) * (4 * (cellHeight + kMargin) + kMargin);
        for (const char* text : texts) {
            auto* display = new CDigistatic(&page);
            display->setGeometry(x, rowY, cellWidth, cellHeight);
            display->ChangeStyle(digistyle::SmoothOutlines | digistyle::FourteenSegmentDigits,
                                 styles[s]);
            display->SetDisplayText(text);
            rowY += cellHeight + kMargin;
        }
    }
    y += 2 * (4 * (cellHeight + kMargin) + kMargin);

    // A large pair in each style, to judge the outlines close up.
    const int bigHeight = 330;
    const int bigWidth = (3 * counterWidth + 2 * kMargin - kMargin) / 2;
    for (int s = 0; s < 2; ++s) {
        auto* display = new CDigistatic(&page);
        display->setGeometry(kMargin + s * (bigWidth + kMargin), y, bigWidth, bigHeight);
        display->SetSegmentColours(QColor(40, 40, 40), QColor(255, 160, 0));
        display->ChangeStyle(digistyle::FourteenSegmentDigits,
                             s == 0 ? 0 : digistyle::SmoothOutlines);
        display->SetDisplayText("8M");
    }
    y += bigHeight + kMargin;

    page.resize(3 * counterWidth + 4 * kMargin, y);
    QImage image(page.size(), QImage::Format_RGB32);
    image.fill(QColor(240, 240, 240));
    {
        QPainter painter(&image);
        page.render(&painter);
    }
    if (!image.save(out, "PNG")) {
        std::fprintf(stderr, "digistatic-demo: cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s\n", qPrintable(out));
    return 0;
}
