#include "app/tandora_qt.h"

#include "core/progress_text.h"
#include "support/neat.h"
#include "support/progress_event.h"
#include "support/task.h"
#include "support/thread_wake.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDropEvent>
#include <QEvent>
#include <QPushButton>

namespace {

// Tab 0 holds the song page, tab 1 the firmware page.
constexpr int kSongTab = 0;
constexpr int kFirmwareTab = 1;

// The Cancel button sits at the right end of the progress bar, inside it, so the form's
// layout keeps its two rows.
constexpr int kCancelWidth = 64;

bool is_song_work(TandoraQT::EWorkState state)
{
    return state == TandoraQT::WORK_UPLOAD_SONG || state == TandoraQT::WORK_DOWNLOAD_SONG ||
           state == TandoraQT::WORK_DELETE_SONG || state == TandoraQT::WORK_BACKUP_SONGS ||
           state == TandoraQT::WORK_RESTORE_SONGS;
}

}  // namespace

void TandoraQT::init_progress_area()
{
    m_btnCancel = new QPushButton(QStringLiteral("Cancel"), ui.progressBar);
    m_btnCancel->setObjectName(QStringLiteral("m_btnCancel"));
    m_btnCancel->setToolTip(QStringLiteral("Stop the running command"));
    m_btnCancel->hide();
    connect(m_btnCancel, &QPushButton::clicked, this, [this] {
        if (m_task)
            m_task->cancel();
    });
    ui.progressBar->installEventFilter(this);
}

bool TandoraQT::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui.progressBar && event->type() == QEvent::Resize)
        m_btnCancel->setGeometry(ui.progressBar->width() - kCancelWidth - 1, 1, kCancelWidth,
                                 ui.progressBar->height() - 2);
    // The list's own drop handling would move its lines; files dropped on it are songs.
    if (watched == ui.m_lstSong->viewport()) {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove:
                accept_song_drag(static_cast<QDropEvent*>(event));
                return true;
            case QEvent::Drop:
                drop_songs(static_cast<QDropEvent*>(event));
                return true;
            default:
                break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TandoraQT::start_work(EWorkState state, Job job, Finish finish)
{
    begin_work_state(state);
    m_task = std::make_unique<CTask>();
    m_task->set_listener([this] { wake_from_worker(); });
    m_finish = std::move(finish);
    {
        std::lock_guard<std::mutex> lock(m_workMutex);
        m_workResult.reset();
    }
    m_workClock.start();
    show_progress();
    CTask* task = m_task.get();
    m_worker = std::thread([this, task, job = std::move(job)] {
        COperationResult result = job(*task);
        {
            std::lock_guard<std::mutex> lock(m_workMutex);
            m_workResult = std::move(result);
        }
        wake_from_worker();
    });
}

void TandoraQT::wake_from_worker()
{
    // One wake in flight at a time: a flood of progress steps must not flood the pipe.
    if (m_wakePending.exchange(true))
        return;
    m_workWake->wake();
}

void TandoraQT::init_work_wake()
{
    // On the GUI thread, the wake arrives as the progress event, so whatever watches the
    // window's events sees the work move.
    m_workWake = std::make_unique<CThreadWake>([this] {
        CEventBase woken(PROGRESS_EVENT_TYPE, 0, 0);
        QCoreApplication::sendEvent(this, &woken);
    });
}

void TandoraQT::on_work_woken()
{
    m_wakePending = false;
    if (!m_task)
        return;
    show_progress();
    bool finished = false;
    {
        std::lock_guard<std::mutex> lock(m_workMutex);
        finished = m_workResult.has_value();
    }
    if (finished)
        finish_work();
}

void TandoraQT::finish_work()
{
    m_worker.join();
    std::optional<COperationResult> result;
    {
        std::lock_guard<std::mutex> lock(m_workMutex);
        result.swap(m_workResult);
    }
    Finish finish = std::move(m_finish);
    m_finish = nullptr;
    m_task->set_listener(nullptr);
    finish(*result);
    m_task.reset();
    end_work_state();
}

void TandoraQT::show_progress()
{
    const STaskProgress progress = m_task->progress();
    if (progress.percent != ui.progressBar->value()) {
        if (m_workState == WORK_DOWNLOAD_SONG)
            qDebug("nNewPos=%d", progress.percent);
        ui.progressBar->setValue(progress.percent);
    }
    QString text = QStringLiteral("%p%");
    if (progress.parts > 1)
        text += QString::asprintf(" \u00b7 %u of %u", progress.part, progress.parts);
    if (progress.bytes_done > 0 || progress.bytes_total > 0)
        text += QStringLiteral(" \u00b7 ") +
                transfer_text(progress.bytes_done, progress.bytes_total, m_workClock.elapsed() / 1000.0);
    ui.progressBar->setFormat(text);
    m_btnCancel->setEnabled(progress.cancellable && !m_task->cancelled());
    m_btnCancel->setToolTip(progress.cancellable ? QStringLiteral("Stop the running command")
                                                 : progress.why_not_cancellable);
}

void TandoraQT::begin_work_state(EWorkState state)
{
    ui.progressBar->setValue(0);
    ui.progressBar->setFormat(QStringLiteral("%p%"));
    ui.progressBar->show();
    m_btnCancel->show();
    m_workState = state;
    if (state == WORK_UPDATE_FIRMWARE)
        ui.propSheet->setTabEnabled(kSongTab, false);
    else if (is_song_work(state))
        ui.propSheet->setTabEnabled(kFirmwareTab, false);
}

void TandoraQT::end_work_state()
{
    ui.progressBar->hide();
    m_btnCancel->hide();
    if (m_workState == WORK_UPDATE_FIRMWARE)
        ui.propSheet->setTabEnabled(kSongTab, true);
    else if (is_song_work(m_workState))
        ui.propSheet->setTabEnabled(kFirmwareTab, true);
    m_workState = WORK_IDLE;
}

void TandoraQT::report(const COperationResult& result)
{
    if (result.already_shown())
        return;
    if (result.detail().isEmpty())
        NEAT::AfxMessageBox(result.text());
    else
        NEAT::AfxMessageBox(result.text() + QLatin1Char('\n') + result.detail());
}

void TandoraQT::report(ELooperActionResult result)
{
    report(COperationResult::song(result));
}
