#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace tarnwick::layout {

// Window geometry is kept in twips as the pages were designed; 15 twips are
// one pixel at 96 dpi and Qt scales for higher densities.
constexpr int px(int twips) { return twips / 15; }
constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// "MS Sans Serif" where installed, else Liberation Sans (the same widths as
// the fonts the pages were drawn with), else the platform's sans serif.
QFont pageFont(double points, bool bold = false);
// Every control's font: the page font at 8.25 points.
void usePageFont();

// A button named and placed as the page designs it.
QPushButton* addButton(QWidget* parent, const char* name, const QString& caption, QRect geometry);
// The page heading "Label1": 24 point bold across the top.
QLabel* addHeading(QWidget* parent, const QString& text);
// A page's explanatory text: 8.25 point, wrapped, from the top left of its box.
QLabel* addTextBlock(QWidget* parent, const char* name, const QString& text, QRect geometry);

// The row of Help, Previous, Next and Exit along the bottom of every page.
struct WizardButtons
{
    QPushButton* help;
    QPushButton* previous;
    QPushButton* next;
    QPushButton* exit;
};
WizardButtons addWizardButtons(QWidget* parent, int topTwips, int helpLeftTwips, const QString& helpCaption);

} // namespace tarnwick::layout
