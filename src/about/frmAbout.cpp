#include "about/frmAbout.h"

#include "about/AboutText.h"
#include "base/StepRunner.h"
#include "program/SharedServices.h"
#include "widgets/WindowLayout.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgRenderer>

// The logos are compiled into this static library; their registration must
// be pulled in by name, from the global namespace.
static void initAboutResources()
{
    Q_INIT_RESOURCE(tarnwick_about);
}

namespace tarnwick {

using layout::twipsRect;

namespace {

QPixmap renderLogo(const QString& resource, QSize size)
{
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

} // namespace

frmAbout::frmAbout(const ProgramInfo& program, SharedServices& services, QWidget* parent)
    : QDialog(parent), m_program(program), m_services(services)
{
    initAboutResources();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    setModal(true);
    setFixedSize(layout::px(6255), layout::px(3960));

    const QFont text = layout::pageFont(8.25);
    auto label = [this, &text](const char* name, const QString& caption, QRect geometry) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(text);
        l->setGeometry(geometry);
        return l;
    };
    auto logo = [this](const char* name, const QString& resource, QRect geometry) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(geometry);
        l->setPixmap(renderLogo(resource, geometry.size()));
        return l;
    };

    logo("picBrenlowLogo", QStringLiteral(":/about/brenlow_logo.svg"),
         twipsRect(240, 240, 2700, 810));
    logo("picOrvaneLogo", QStringLiteral(":/about/orvane_logo.svg"),
         twipsRect(3315, 240, 2700, 810));

    label("lblBrenlowAddress1", QStringLiteral("Brenlow Systems, Inc."),
          twipsRect(240, 1230, 5775, 255));
    label("lblBrenlowAddress2", QStringLiteral("1480 Tessaly Park Drive"),
          twipsRect(240, 1485, 5775, 255));
    label("lblBrenlowAddress3", QStringLiteral("Corvanne Falls, NV 89591 USA"),
          twipsRect(240, 1740, 5775, 255));

    QLabel* versionTitle =
        label("lblVersionTitle", QStringLiteral("Version:"), twipsRect(240, 2130, 840, 255));
    versionTitle->setFont(layout::pageFont(8.25, true));
    m_lblVersion = label("lblVersion", QString(), twipsRect(1095, 2130, 2400, 255));

    QLabel* trademarks =
        label("lblTrademarks",
              QStringLiteral("Brenlow, Orvane and the Brenlow and Orvane logos are trademarks or "
                             "registered trademarks of Brenlow Systems, Inc."),
              twipsRect(240, 2520, 5775, 450));
    trademarks->setWordWrap(true);
    label("lblCopyright",
          QStringLiteral("Copyright \u00A9 2004 Brenlow Systems, Inc.  All rights reserved."),
          twipsRect(240, 3000, 5775, 255));

    // Looks and acts like a link: blue, underlined, a hand over it.
    m_lblChangeLanguage = label("lblChangeLanguage", QStringLiteral("Change Language"),
                                twipsRect(240, 3480, 1500, 255));
    QFont linkFont = text;
    linkFont.setUnderline(true);
    m_lblChangeLanguage->setFont(linkFont);
    // Reached with Tab and opened with Space or Enter too; a dotted frame shows when it has the focus.
    m_lblChangeLanguage->setStyleSheet(QStringLiteral("QLabel { color: blue; border: 1px solid transparent; }"
                                                      "QLabel:focus { border: 1px dotted blue; }"));
    m_lblChangeLanguage->setFocusPolicy(Qt::StrongFocus);
    m_lblChangeLanguage->setAccessibleName(QStringLiteral("Change Language"));
    m_lblChangeLanguage->setCursor(Qt::PointingHandCursor);
    m_lblChangeLanguage->installEventFilter(this);

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setGeometry(twipsRect(4800, 3390, 1215, 375));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    // OK has the keyboard first, so Enter closes; Tab goes on to the link.
    setTabOrder(ok, m_lblChangeLanguage);
    ok->setFocus();

    // Only ever popped up; no language is defined beyond the placeholder,
    // whose choice does nothing.
    m_mnuSelectLanguage = new QMenu(QStringLiteral("Select Language"), this);
    m_mnuSelectLanguage->setObjectName(QStringLiteral("mnuSelectLanguage"));
    QAction* placeholder = m_mnuSelectLanguage->addAction(QStringLiteral("LanguageList"));
    placeholder->setObjectName(QStringLiteral("mnuLanguageList"));
    placeholder->setData(0);

    Form_Load();
}

void frmAbout::Form_Load()
{
    StepRunner steps([this](const Failure& failure) {
        m_services.ShowMessage(QStringLiteral("Error in form_load routine in frmAbout:") +
                               failure.description());
    });
    steps.run([&] { m_lblVersion->setText(aboutVersionText(m_program)); });
}

void frmAbout::cmdOK_Click()
{
    // Hidden, not closed: the dialog stays loaded and the modal show returns.
    hide();
}

void frmAbout::lblChangeLanguage_Click()
{
    m_mnuSelectLanguage->popup(QCursor::pos());
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_lblChangeLanguage && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            m_lblChangeLanguage->rect().contains(mouse->position().toPoint())) {
            lblChangeLanguage_Click();
            return true;
        }
    }
    if (watched == m_lblChangeLanguage && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            // No mouse position to pop up at: under the link instead.
            m_mnuSelectLanguage->popup(m_lblChangeLanguage->mapToGlobal(m_lblChangeLanguage->rect().bottomLeft()));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::closeEvent(QCloseEvent* event)
{
    QDialog::closeEvent(event);
    // Closed from the title bar: unloaded, so the next About loads afresh.
    if (event->isAccepted())
        deleteLater();
}

} // namespace tarnwick
