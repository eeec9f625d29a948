#include "app/work_runner.h"

#include "app/prompt_handover.h"
#include "core/pedal_session.h"
#include "core/progress_text.h"
#include "support/progress_event.h"
#include "support/task.h"
#include "support/thread_wake.h"

#include <QCoreApplication>
#include <QDebug>
#include <QProgressBar>
#include <QPushButton>

namespace {

// The Cancel button sits at the right end of the progress bar, inside it, so the form's
// layout keeps its two rows.
constexpr int kCancelWidth = 64;

// Places Cancel whenever the bar changes size.
class CCancelPlacer : public QObject {
public:
    CCancelPlacer(QProgressBar* bar, QPushButton* cancel) : QObject(cancel), m_bar(bar), m_cancel(cancel)
    {
        bar->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_bar && event->type() == QEvent::Resize)
            m_cancel->setGeometry(m_bar->width() - kCancelWidth - 1, 1, kCancelWidth, m_bar->height() - 2);
        return false;
    }

private:
    QProgressBar* m_bar;
    QPushButton* m_cancel;
};

}  // namespace

CWorkRunner::CWorkRunner(QProgressBar* bar, CPedalSession& session)
    : m_bar(bar),
      m_session(session),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), bar)),
      m_handover(std::make_unique<CPromptHandover>())
{
    setObjectName(QStringLiteral("work_runner"));
    m_bar->hide();
    m_bar->setRange(0, 100);
    m_cancel->setObjectName(QStringLiteral("m_btnCancel"));
    m_cancel->setToolTip(QStringLiteral("Stop the running command"));
    m_cancel->hide();
    new CCancelPlacer(m_bar, m_cancel);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_task)
            m_task->cancel();
    });
    QEvent::registerEventType(PROGRESS_EVENT_TYPE);
    // On the GUI thread, the wake arrives as the progress event, so whatever watches the
    // runner's events sees the work move.
    m_wake = std::make_unique<CThreadWake>([this] {
        CEventBase woken(PROGRESS_EVENT_TYPE, 0, 0);
        QCoreApplication::sendEvent(this, &woken);
    });
}

CWorkRunner::~CWorkRunner()
{
    stop();
    if (m_worker.joinable())
        m_worker.join();
}

void CWorkRunner::stop()
{
    m_handover->close();
    if (m_task)
        m_task->cancel();
}

void CWorkRunner::set_song_player(std::function<void(const std::shared_ptr<const CSongStream>&)> play)
{
    m_handover->set_song_player(std::move(play));
}

CQuestions& CWorkRunner::questions()
{
    return *m_handover;
}

void CWorkRunner::start(EWorkState state, Job job, Finish finish)
{
    m_state = state;
    m_task = std::make_unique<CTask>();
    m_task->set_listener([this] { wake_from_worker(); });
    m_finish = std::move(finish);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_result.reset();
    }
    // A look for the pedal runs unseen: it is short, cannot be cancelled, and is not the
    // user's work.
    if (state != WORK_CONNECT) {
        m_bar->setValue(0);
        m_bar->setFormat(QStringLiteral("%p%"));
        m_bar->show();
        m_cancel->show();
        show_progress();
    }
    emit state_changed(state);
    CTask* task = m_task.get();
    m_worker = std::thread([this, task, job = std::move(job)] {
        COperationResult result = m_session.with_notes(job(*task));
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_result = std::move(result);
        }
        wake_from_worker();
    });
}

void CWorkRunner::cancel_to_close()
{
    m_closing = true;
    if (m_task)
        m_task->cancel();
}

void CWorkRunner::wake_from_worker()
{
    // One wake in flight at a time: a flood of progress steps must not flood the pipe.
    if (m_wake_pending.exchange(true))
        return;
    m_wake->wake();
}

void CWorkRunner::customEvent(QEvent* event)
{
    if (event->type() == PROGRESS_EVENT_TYPE)
        on_woken();
}

void CWorkRunner::on_woken()
{
    m_wake_pending = false;
    if (!m_task)
        return;
    if (m_state != WORK_CONNECT)
        show_progress();
    bool finished = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        finished = m_result.has_value();
    }
    if (finished)
        finish();
}

void CWorkRunner::finish()
{
    m_worker.join();
    std::optional<COperationResult> result;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        result.swap(m_result);
    }
    Finish done = std::move(m_finish);
    m_finish = nullptr;
    m_task->set_listener(nullptr);
    if (!m_closing)
        done(*result);
    m_task.reset();
    m_bar->hide();
    m_cancel->hide();
    m_state = WORK_IDLE;
    emit state_changed(m_state);
}

void CWorkRunner::show_progress()
{
    const STaskProgress progress = m_task->progress();
    if (progress.percent != m_bar->value()) {
        if (m_state == WORK_DOWNLOAD_SONG)
            qDebug("nNewPos=%d", progress.percent);
        m_bar->setValue(progress.percent);
    }
    QString text = QStringLiteral("%p%");
    if (progress.parts > 1)
        text += QString::asprintf(" \u00b7 %u of %u", progress.part, progress.parts);
    if (progress.bytes_done > 0 || progress.bytes_total > 0)
        text += QStringLiteral(" \u00b7 ") +
                transfer_text(progress.bytes_done, progress.bytes_total, progress.transfer_seconds);
    m_bar->setFormat(text);
    m_cancel->setEnabled(progress.cancellable && !m_task->cancelled());
    m_cancel->setToolTip(progress.cancellable ? QStringLiteral("Stop the running command")
                                              : progress.why_not_cancellable);
}
