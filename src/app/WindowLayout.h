#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QRect>

namespace tarnwick::layout {

// Window geometry is kept in twips as the pages were designed; 15 twips are
// one pixel at 96 dpi and Qt scales for higher densities.
constexpr int px(int twips) { return twips / 15; }
constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// "MS Sans Serif" where installed, else the platform's sans serif.
inline QFont pageFont(double points, bool bold = false)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    if (!QFontDatabase::families().contains(font.family()))
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace tarnwick::layout
