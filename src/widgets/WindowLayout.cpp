#include "widgets/WindowLayout.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTimer>
#include <QWindow>

#include <algorithm>

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
    // F1 anywhere on the page is the page's Help button.
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), parent->window());
    f1->setObjectName(QStringLiteral("helpKey"));
    QObject::connect(f1, &QShortcut::activated, row.help, &QPushButton::click);
    return row;
}

namespace {

// Lays out the anchored children of one widget whenever it is resized; a
// frame that grows is resized by its own holder's anchors first, so nested
// controls follow.
class EdgeAnchors : public QObject
{
public:
    EdgeAnchors(QWidget* holder) : QObject(holder), m_holder(holder), m_drawn(holder->size())
    {
        setObjectName(QStringLiteral("edgeAnchors"));
        holder->installEventFilter(this);
    }
    void add(QWidget* control, int edges) { m_items.append({control, control->geometry(), edges}); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_holder && event->type() == QEvent::Resize)
            apply();
        return false;
    }

private:
    void apply()
    {
        const int dw = std::max(0, m_holder->width() - m_drawn.width());
        const int dh = std::max(0, m_holder->height() - m_drawn.height());
        for (const Item& item : std::as_const(m_items)) {
            if (!item.control)
                continue;
            QRect r = item.drawn;
            if ((item.edges & Left) && (item.edges & Right))
                r.setWidth(r.width() + dw);
            else if (item.edges & Right)
                r.moveLeft(r.left() + dw);
            else if (!(item.edges & Left))
                r.moveLeft(r.left() + dw / 2);
            if ((item.edges & Top) && (item.edges & Bottom))
                r.setHeight(r.height() + dh);
            else if (item.edges & Bottom)
                r.moveTop(r.top() + dh);
            // Controls that move themselves (the mode inputs) keep their own top.
            if (!(item.edges & Bottom))
                r.moveTop(item.control->y());
            item.control->setGeometry(r);
        }
    }

    struct Item
    {
        QPointer<QWidget> control;
        QRect drawn;
        int edges;
    };
    QWidget* m_holder;
    QSize m_drawn;
    QList<Item> m_items;
};

// Writes a window's place a moment after it stops moving: the program ends
// without close events, so nothing later would.
class GeometryKeeper : public QObject
{
public:
    GeometryKeeper(QWidget* window, const QString& key) : QObject(window), m_window(window), m_key(key)
    {
        m_write.setSingleShot(true);
        m_write.setInterval(400);
        connect(&m_write, &QTimer::timeout, this, &GeometryKeeper::write);
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && m_window->isVisible() &&
            (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
             event->type() == QEvent::WindowStateChange))
            m_write.start();
        return false;
    }

private:
    void write()
    {
        QSettings settings;
        // A maximised window keeps the place and size it had before, for when it is restored.
        const bool maximized = m_window->isMaximized();
        if (!maximized)
            settings.setValue(m_key + QStringLiteral("/position"), m_window->pos());
        if (m_window->minimumSize() != m_window->maximumSize()) {
            if (!maximized)
                settings.setValue(m_key + QStringLiteral("/size"), m_window->size());
            settings.setValue(m_key + QStringLiteral("/maximized"), maximized);
        }
        settings.sync();
    }

    QWidget* m_window;
    QString m_key;
    QTimer m_write;
};

bool resizable(const QWidget* window)
{
    return window->minimumSize() != window->maximumSize();
}

} // namespace

void anchor(QWidget* control, int edges)
{
    QWidget* holder = control->parentWidget();
    auto* anchors = holder->findChild<EdgeAnchors*>(QStringLiteral("edgeAnchors"), Qt::FindDirectChildrenOnly);
    if (!anchors)
        anchors = new EdgeAnchors(holder);
    anchors->add(control, edges);
}

void makeResizable(QWidget* page, QSize drawn)
{
    page->setMinimumSize(drawn);
    page->resize(drawn);
}

void rememberGeometry(QWidget* window, const QString& key)
{
    new GeometryKeeper(window, key);
}

bool restoreGeometry(QWidget* window, const QString& key)
{
    const QSettings settings;
    const QVariant position = settings.value(key + QStringLiteral("/position"));
    if (!position.isValid())
        return false;
    QSize size = window->size();
    if (resizable(window))
        size = settings.value(key + QStringLiteral("/size"), size).toSize().expandedTo(window->minimumSize());
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    const QRect placed = placeOnScreens(QRect(position.toPoint(), size), screens, window->minimumSize());
    window->resize(placed.size());
    window->move(placed.topLeft());
    // The frame's place, as the wizard's pages hand it on; a window manager
    // would otherwise put the client area there and the frame above it.
    window->winId();
    if (QWindow* handle = window->windowHandle())
        handle->setFramePosition(placed.topLeft());
    if (resizable(window) && settings.value(key + QStringLiteral("/maximized")).toBool())
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    return true;
}

QRect placeOnScreens(const QRect& saved, const QList<QRect>& screens, QSize minimum)
{
    if (screens.isEmpty())
        return saved;
    const QRect* best = &screens.first();
    qint64 bestArea = 0;
    for (const QRect& screen : screens) {
        const QRect common = screen.intersected(saved);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = &screen;
        }
    }
    // Off every screen: the nearest one.
    const auto distance = [&saved](const QRect& screen) {
        const QPoint c = saved.center();
        const int dx = std::max({screen.left() - c.x(), 0, c.x() - screen.right()});
        const int dy = std::max({screen.top() - c.y(), 0, c.y() - screen.bottom()});
        return qint64(dx) + dy;
    };
    if (bestArea == 0) {
        for (const QRect& screen : screens) {
            if (distance(screen) < distance(*best))
                best = &screen;
        }
    }
    QRect placed = saved;
    placed.setSize(saved.size().boundedTo(best->size()).expandedTo(minimum));
    // Inside the screen where it fits; a window larger than the screen keeps its top left on it.
    placed.moveLeft(
        std::clamp(placed.left(), best->left(), std::max(best->left(), best->right() + 1 - placed.width())));
    placed.moveTop(std::clamp(placed.top(), best->top(), std::max(best->top(), best->bottom() + 1 - placed.height())));
    return placed;
}

} // namespace tarnwick::layout
