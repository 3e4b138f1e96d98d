#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include <QList>

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

// The edges a control keeps its distance to when the widget holding it
// grows. Left and Right together stretch it; neither keeps it centred.
// Top and Bottom likewise, except that neither keeps it where it is.
enum Edge { Left = 1, Top = 2, Right = 4, Bottom = 8 };
// Call once the control and its holder stand at their drawn sizes.
void anchor(QWidget* control, int edges);

// A page that grows from its drawn size, which becomes its minimum.
void makeResizable(QWidget* page, QSize drawn);

// A window's last place, kept between runs under `key`; restoring a place
// that no screen shows any more pulls it back onto the nearest screen.
void rememberGeometry(QWidget* window, const QString& key);
bool restoreGeometry(QWidget* window, const QString& key);
// `saved` moved (and if need be shrunk, not below `minimum`) so that it lies
// on one of the screens' available areas: the screen it overlaps most, else
// the nearest.
QRect placeOnScreens(const QRect& saved, const QList<QRect>& screens, QSize minimum);

} // namespace tarnwick::layout
