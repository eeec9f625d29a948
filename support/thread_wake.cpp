#include "support/thread_wake.h"

#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

CThreadWake::CThreadWake(std::function<void()> on_wake) : m_on_wake(std::move(on_wake))
{
    if (::pipe(m_pipe) != 0)
        return;
    for (int end : m_pipe)
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { drain(); });
}

CThreadWake::~CThreadWake()
{
    delete m_notifier;
    for (int end : m_pipe)
        if (end >= 0)
            ::close(end);
}

void CThreadWake::wake()
{
    const char byte = 1;
    // A full pipe already holds a wake: nothing is lost.
    if (m_pipe[1] >= 0)
        static_cast<void>(::write(m_pipe[1], &byte, 1));
}

void CThreadWake::drain()
{
    char bytes[64];
    while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {
    }
    m_on_wake();
}
