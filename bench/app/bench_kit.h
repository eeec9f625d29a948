#pragma once

#include "app/user_prompt.h"

#include <QString>

// Answers every box with OK and keeps the last text, a command's result; file dialogs
// get `open_file`.
class CResultPrompt final : public CUserPrompt {
public:
    void show_message(const QString&, const QString& text) override { last = text; }
    bool ask_yes_no(const QString&, const QString&) override { return true; }
    QString get_open_file_name(QWidget*, const QString&, const QString&, const QString&) override
    {
        return open_file;
    }
    QString get_save_file_name(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    QString get_existing_directory(QWidget*, const QString&, const QString&) override { return {}; }
    QString last;
    QString open_file;
};

// Runs the event loop until a box has shown the command's result; ends the bench with
// the text when its first line is not `expected`.
void wait_for_result(CResultPrompt& prompt, const QString& expected);

#include <QElapsedTimer>
#include <QTimer>

// Ticks of a 1 ms timer on the GUI thread from start(): the largest gap between two, in ms,
// is how long the GUI thread was kept from its events.
class CTickGaps {
public:
    CTickGaps();
    void start();
    double worst_ms() const { return m_worst / 1e6; }

private:
    QElapsedTimer m_clock;
    QTimer m_ticks;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

class TandoraQT;
// Runs the event loop until the window runs no work (its first look for the pedal).
void wait_until_idle(TandoraQT& window);

[[noreturn]] void fail(const char* what, const QString& detail);
