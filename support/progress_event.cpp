#include "support/progress_event.h"

#include <QCoreApplication>

CEventBase::CEventBase(int type, unsigned int param1, unsigned int param2)
    : QEvent(static_cast<QEvent::Type>(type)), m_param1(param1), m_param2(param2)
{
}

CEventBase::~CEventBase() = default;

void post_progress(QObject* receiver, unsigned int done, unsigned int total)
{
    if (receiver)
        QCoreApplication::postEvent(receiver, new CEventBase(PROGRESS_EVENT_TYPE, done, total));
}
