#pragma once

#include <QString>

namespace tarnwick {

// The progress window the selection procedures write to: a title frame and
// one line of three labels reading, for example, "37 of 1200". The wizard
// shows it as a small always-on-top window; the headless command and the
// tests keep the texts only.
class SelectionProgress
{
public:
    virtual ~SelectionProgress() = default;

    virtual void setTitle(const QString& text) = 0; // frameMainTitle
    virtual void setCount(const QString& text) = 0; // lblCount
    virtual void setOf(const QString& text) = 0;    // labelOf
    virtual void setTotal(const QString& text) = 0; // labelTotal
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void repaint() = 0;
};

// A progress window that is never drawn: it keeps what was written to it.
class ProgressLabels : public SelectionProgress
{
public:
    void setTitle(const QString& text) override { title = text; }
    void setCount(const QString& text) override { count = text; }
    void setOf(const QString& text) override { of = text; }
    void setTotal(const QString& text) override { total = text; }
    void show() override
    {
        visible = true;
        ++shows;
    }
    void hide() override { visible = false; }
    void repaint() override { ++repaints; }

    QString title = QStringLiteral("Loading subscriber data...");
    QString count = QStringLiteral("1");
    QString of = QStringLiteral("of");
    QString total = QStringLiteral("1");
    bool visible = false;
    int shows = 0;
    int repaints = 0;
};

} // namespace tarnwick
