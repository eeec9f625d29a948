#pragma once

#include <QEvent>
#include <cstdint>

class QObject;

// Event type of the progress event: amount done and amount in all, in the sender's unit.
constexpr int PROGRESS_EVENT_TYPE = 1008;

class CEventBase : public QEvent {
public:
    CEventBase(int type, unsigned int param1, unsigned int param2);
    ~CEventBase() override;

    uint64_t m_param1;
    uint64_t m_param2;
};

// Posts a progress event to `receiver` (ignored when null); Qt owns and deletes it.
void post_progress(QObject* receiver, unsigned int done, unsigned int total);
