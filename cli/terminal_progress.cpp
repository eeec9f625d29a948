#include "cli/terminal_progress.h"

#include "core/progress_text.h"
#include "support/task.h"

namespace {

constexpr int kBarWidth = 30;
// A terminal line is redrawn at most this often, in ms.
constexpr qint64 kRedrawMs = 100;

}  // namespace

CTerminalProgress::CTerminalProgress(CTask& task, bool terminal, std::FILE* out,
                                     std::function<void(CTask&)> on_step)
    : m_task(task), m_terminal(terminal), m_out(out), m_on_step(std::move(on_step))
{
    m_clock.start();
    m_task.set_listener([this] {
        show();
        if (m_on_step)
            m_on_step(m_task);
    });
}

CTerminalProgress::~CTerminalProgress()
{
    m_task.set_listener(nullptr);
    if (m_terminal && !m_last_line.isEmpty()) {
        std::fprintf(m_out, "\n");
        std::fflush(m_out);
    }
}

void CTerminalProgress::show()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Piped output is read by programs and logs: a bar redrawn with \r means nothing there.
    if (!m_out || !m_terminal)
        return;
    const STaskProgress progress = m_task.progress();
    QString text = QString::asprintf("%3d%%", progress.percent);
    if (progress.parts > 1)
        text += QString::asprintf(" \u00b7 %u of %u", progress.part, progress.parts);
    if (progress.bytes_done > 0 || progress.bytes_total > 0)
        text += QStringLiteral(" \u00b7 ") +
                transfer_text(progress.bytes_done, progress.bytes_total, progress.transfer_seconds);
    const qint64 now = m_clock.elapsed();
    if (progress.percent == m_last_percent && m_last_drawn >= 0 && now - m_last_drawn < kRedrawMs)
        return;
    m_last_drawn = now;
    m_last_percent = progress.percent;
    const int filled = progress.percent * kBarWidth / 100;
    const QString bar = QString(filled, QLatin1Char('#')) + QString(kBarWidth - filled, QLatin1Char('-'));
    m_last_line = QStringLiteral("[") + bar + QStringLiteral("] ") + text;
    std::fprintf(m_out, "\r%s\033[K", m_last_line.toUtf8().constData());
    std::fflush(m_out);
}
