#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdio>
#include <functional>
#include <mutex>

class CTask;

// Shows a task's progress on stderr when it is a terminal: one line redrawn in place, a bar
// with percent, speed and time left. Nothing otherwise.
class CTerminalProgress {
public:
    // `on_step` (may be empty) is called at every step too. With no `out`, nothing is shown.
    CTerminalProgress(CTask& task, bool terminal, std::FILE* out, std::function<void(CTask&)> on_step = {});
    ~CTerminalProgress();
    CTerminalProgress(const CTerminalProgress&) = delete;
    CTerminalProgress& operator=(const CTerminalProgress&) = delete;

private:
    void show();

    CTask& m_task;
    // A cancel from Ctrl-C's thread notifies too.
    std::mutex m_mutex;
    bool m_terminal;
    std::FILE* m_out;
    QElapsedTimer m_clock;
    qint64 m_last_drawn = -1;
    int m_last_percent = -1;
    QString m_last_line;
    std::function<void(CTask&)> m_on_step;
};
