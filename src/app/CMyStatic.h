#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

// A label that draws its own text and background colours and its own font: the status label
// and the counter captions. UI thread only.
//
// Initially black text on white in the window's font.
class CMyStatic : public QLabel {
    Q_OBJECT

public:
    explicit CMyStatic(QWidget* parent = nullptr);

    void SetTextColour(const QColor& colour);
    void SetBackgroundColour(const QColor& colour);
    // size in tenths of a point (700 = 70 pt). face is tried first; a CJK face the system
    // lacks ("宋体") falls back to one that has the glyphs. Repaints.
    void SetPointFont(int tenthsOfPoint, const QString& face);

    QColor TextColour() const { return textColour_; }
    QColor BackgroundColour() const { return backgroundColour_; }

private:
    void ApplyColours();

    QColor textColour_{0, 0, 0};
    QColor backgroundColour_{255, 255, 255};
};
