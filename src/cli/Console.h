#pragma once

#include "base/UserInterface.h"
#include "export/ExportRun.h"
#include "select/SelectionProgress.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QStringEncoder>

#include <functional>

namespace tarnwick {

// The headless command's error stream: whole lines, and on a terminal one
// status line that is redrawn in place and closed before any other line.
class Console
{
public:
    // `columns`: the terminal's width now, read at every redraw; 80 without it.
    Console(QIODevice& device, bool live, std::function<int()> columns = {});

    bool live() const { return m_live; }
    void line(const QString& text);
    // Redraws the status line (live only).
    void status(const QString& text);
    void endStatus();

private:
    void write(const QString& text);

    QIODevice& m_device;
    QStringEncoder m_encoder;
    bool m_live;
    std::function<int()> m_columns;
    bool m_statusOpen = false;
};

// Message boxes become lines on the error stream; every question is answered
// No (or Cancel), since nobody is there to answer it.
class ConsoleUserInterface : public UserInterface
{
public:
    // `exitStatus`: what the process ends with when the program ends itself
    // (a failed start-up gate). `quiet`: failures only.
    ConsoleUserInterface(Console& console, int exitStatus, bool quiet = false)
        : m_console(console), m_exitStatus(exitStatus), m_quiet(quiet)
    {
    }

    // Without windows every message reports a failure or a refusal, but the
    // import's count of what it read.
    static bool reportsFailure(const QString& text);
    int failuresShown() const { return m_failures; }

    void showMessage(const QString& text, const QString& title = kAppTitle) override;
    bool askYesNo(const QString& text, const QString& title = kAppTitle) override;
    bool askOkCancel(const QString& text, const QString& title = kAppTitle) override;
    void yield() override {}
    [[noreturn]] void exitProcess(int status) override;

private:
    Console& m_console;
    int m_exitStatus;
    bool m_quiet;
    int m_failures = 0;
};

// The export's progress bar and caption, and the selection's progress window,
// as a live status line on a terminal or as plain lines otherwise.
class ConsoleProgress : public ExportProgress, public SelectionProgress
{
public:
    // `quiet`: draws nothing.
    explicit ConsoleProgress(Console& console, bool quiet = false);

    // ExportProgress
    void setRange(int minimum, int maximum) override;
    void setValue(int value) override;
    void setCaption(const QString& caption) override;

    // SelectionProgress
    void setTitle(const QString& text) override { m_title = text; }
    void setCount(const QString& text) override { m_count = text; }
    void setOf(const QString& text) override { m_of = text; }
    void setTotal(const QString& text) override { m_total = text; }
    void show() override { m_shown = true; }
    void hide() override;
    void repaint() override;

    // "[#####.....]  50% " for a value within a range.
    static QString bar(int value, int minimum, int maximum);

private:
    bool due();
    QString selectionText() const;

    Console& m_console;
    bool m_quiet;
    QElapsedTimer m_sinceDrawn;
    int m_minimum = 0;
    int m_maximum = 0;
    int m_value = 0;
    QString m_title;
    QString m_count;
    QString m_of;
    QString m_total;
    bool m_shown = false;
};

} // namespace tarnwick
