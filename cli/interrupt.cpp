#include "cli/interrupt.h"

#include "support/task.h"

#include <poll.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>

namespace {

int g_write_end = -1;

// Only async-signal-safe work here: one byte into the pipe the watching thread reads.
void on_interrupt(int)
{
    const char byte = 1;
    if (g_write_end >= 0)
        static_cast<void>(::write(g_write_end, &byte, 1));
}

}  // namespace

CInterruptWatch::CInterruptWatch()
{
    if (::pipe(m_pipe) != 0)
        return;
    g_write_end = m_pipe[1];
    struct sigaction action = {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    m_thread = std::thread([this] { run(); });
}

CInterruptWatch::~CInterruptWatch()
{
    if (m_pipe[1] < 0)
        return;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    g_write_end = -1;
    // A zero byte ends the watching thread.
    const char stop = 0;
    static_cast<void>(::write(m_pipe[1], &stop, 1));
    m_thread.join();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void CInterruptWatch::watch(CTask* task)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_task = task;
}

void CInterruptWatch::run()
{
    char byte = 0;
    CTask* cancelled = nullptr;
    for (;;) {
        // A cancel is checked between blocks; work blocked elsewhere (the open of a named pipe
        // waiting for its writer) never gets there, so a second later the program ends.
        pollfd input{m_pipe[0], POLLIN, 0};
        const int ready = ::poll(&input, 1, cancelled ? 1000 : -1);
        if (ready == 0) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_task == cancelled && m_task->progress().cancellable) {
                std::fprintf(stderr, "\nInterrupted.\n");
                std::_Exit(130);
            }
            cancelled = nullptr;
            continue;
        }
        if (ready < 0 || ::read(m_pipe[0], &byte, 1) != 1 || byte == 0)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        CTask* task = m_task;
        if (!task) {
            std::fprintf(stderr, "\nInterrupted; nothing was changed.\n");
            std::_Exit(130);
        }
        const STaskProgress progress = task->progress();
        if (!progress.cancellable) {
            std::fprintf(stderr, "\n%s\n", progress.why_not_cancellable.toUtf8().constData());
            continue;
        }
        std::fprintf(stderr, "\nCancelling...\n");
        task->cancel();
        cancelled = task;
    }
}
