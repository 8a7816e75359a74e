#include "app/CMyStatic.h"

#include <QFont>
#include <QPalette>
#include <QStringList>

CMyStatic::CMyStatic(QWidget* parent) : QLabel(parent) {
    setAutoFillBackground(true);
    ApplyColours();
}

void CMyStatic::SetTextColour(const QColor& colour) {
    textColour_ = colour;
    ApplyColours();
}

void CMyStatic::SetBackgroundColour(const QColor& colour) {
    backgroundColour_ = colour;
    ApplyColours();
}

void CMyStatic::SetPointFont(int tenthsOfPoint, const QString& face) {
    QFont font(this->font());
    // Fontconfig would substitute any face for an unknown name, often one without CJK
    // glyphs; naming the fallbacks keeps the captions readable on every station.
    font.setFamilies(QStringList{face, "SimSun", "WenQuanYi Micro Hei", "Noto Sans CJK SC"});
    font.setPointSizeF(tenthsOfPoint / 10.0);
    setFont(font);
    update();
}

void CMyStatic::ApplyColours() {
    QPalette colours = palette();
    colours.setColor(QPalette::Window, backgroundColour_);
    colours.setColor(QPalette::WindowText, textColour_);
    setPalette(colours);
    update();
}
