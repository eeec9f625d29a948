#pragma once

#include "support/task.h"

class QObject;

// A task for work the window still runs on the GUI thread: every step to a new percent
// posts the window's progress event (percent of 100), and every change lets the window
// handle its events, as the transfers did themselves before they took a task.
class CWindowTask {
public:
    explicit CWindowTask(QObject* window);
    CWindowTask(const CWindowTask&) = delete;
    CWindowTask& operator=(const CWindowTask&) = delete;

    CTask* get() { return &m_task; }

private:
    CTask m_task;
    int m_posted = 0;
};
