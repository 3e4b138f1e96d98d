#include "widgets/WindowLayout.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>

namespace tarnwick::layout {

QFont pageFont(double points, bool bold)
{
    // Where the pages' own font is missing, a sans serif with Arial's widths
    // keeps every caption inside the control it was sized for.
    const QStringList families = QFontDatabase::families();
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    for (const QString& family : {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")}) {
        if (families.contains(family)) {
            font = QFont(family);
            break;
        }
    }
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void usePageFont()
{
    QApplication::setFont(pageFont(8.25));
}

QPushButton* addButton(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    return button;
}

QLabel* addHeading(QWidget* parent, const QString& text)
{
    auto* heading = new QLabel(text, parent);
    heading->setObjectName(QStringLiteral("Label1"));
    heading->setFont(pageFont(24, true));
    heading->setGeometry(twipsRect(120, 60, 9375, 555));
    return heading;
}

QLabel* addTextBlock(QWidget* parent, const char* name, const QString& text, QRect geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(pageFont(8.25));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(geometry);
    return label;
}

WizardButtons addWizardButtons(QWidget* parent, int topTwips, int helpLeftTwips, const QString& helpCaption)
{
    WizardButtons row{};
    row.help = addButton(parent, "cmdHelp", helpCaption, twipsRect(helpLeftTwips, topTwips, 1455, 435));
    row.previous = addButton(parent, "cmdPrevious", QStringLiteral("<< Previous"), twipsRect(4260, topTwips, 1455, 435));
    row.next = addButton(parent, "cmdNext", QStringLiteral("Next >>"), twipsRect(5880, topTwips, 1455, 435));
    row.exit = addButton(parent, "cmdExit", QStringLiteral("Exit"), twipsRect(10140, topTwips, 1215, 435));
    return row;
}

} // namespace tarnwick::layout
