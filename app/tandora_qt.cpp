#include "app/tandora_qt.h"

#include "app/firmware_page.h"
#include "app/message_box.h"
#include "app/page_anchors.h"
#include "app/page_picture.h"
#include "app/pedal_watch.h"
#include "app/program_update_offer.h"
#include "app/song_page.h"
#include "app/user_prompt.h"
#include "app/window_title.h"
#include "app/work_closing.h"
#include "app/work_runner.h"
#include "core/firmware_update/firmware_catalog.h"
#include "core/pedal_connect.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "support/task.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QTimer>
#include <QTimerEvent>

namespace {

const QString kPictures = QStringLiteral(":/TandoraQT/Resources/Pictures/");

// Tab 0 holds the song page, tab 1 the firmware page.
constexpr int kSongTab = 0;
constexpr int kFirmwareTab = 1;

}  // namespace

TandoraQT::TandoraQT(CPedalSession& session, bool demo, QWidget* parent)
    : QMainWindow(parent), m_demo(demo), m_session(session)
{
    // The pictures live in a static library; nothing else would pull them into the program.
    Q_INIT_RESOURCE(tandora);
    ui.setupUi(this);
    // The form's size is the smallest: the pages place their widgets by hand, and the room
    // a larger window gives goes to the song list.
    setMinimumSize(size());
    fit_font_to_form();
    anchor_pages();
    m_runner = std::make_unique<CWorkRunner>(ui.progressBar, m_session);
    m_song_page = new CSongPage(ui, m_session, *m_runner, this);
    m_firmware_page =
        new CFirmwarePage(ui, m_session, *m_runner, this, [this](const COperationResult& result) {
            // The update read the pedal's information again: its new version, if it has one.
            update_window_title();
            // An update that failed may have lost the pedal with the port list unchanged.
            if (!result.ok())
                m_watch->set_ports_changed(true);
        });
    connect(m_runner.get(), &CWorkRunner::state_changed, this,
            [this](EWorkState state) { show_work_state(state); });
    init_pictures();
    update_window_title();
    m_song_page->update_buttons();
    m_firmware_page->update_buttons();
    // The window shows before the first look ends: a pedal's box comes after it appears.
    m_watch = std::make_unique<CPedalWatch>(
        m_session, *m_runner,
        [this](const SPedalConnect& connect, const SFirmwareCatalog* catalog) {
            OnDeviceConnectStatusChanged(connect, catalog);
        },
        nullptr);
    m_nTimerId = startTimer(1000, Qt::CoarseTimer);
    new CProgramUpdateOffer([this] { return m_runner->idle(); }, this);
}

TandoraQT::~TandoraQT()
{
    // The detection thread and a command still running (only a test closes the window under
    // one) use the session: both end first. A question the command waits on is answered
    // silently, or the wait would never end.
    m_runner.reset();
    m_watch.reset();
}

// The form measured its text boxes for one desktop's fonts; where fonts come out larger
// (Linux counts 96 dots per inch, macOS 72) the texts would be clipped. A label with a
// size of its own (the bold list title) shrinks in half points until its ink fits its
// box; the other labels and the check box shrink together with the window's font until
// they are wide enough.
void TandoraQT::fit_font_to_form()
{
    constexpr qreal kSmallest = 7.0;
    auto ink_fits = [](const QLabel* label) {
        const QFontMetrics metrics = label->fontMetrics();
        const QRect ink = metrics.tightBoundingRect(label->text());
        // A single line is centred vertically by its full line height.
        const int baseline = (label->height() - metrics.height()) / 2 + metrics.ascent();
        return ink.width() <= label->width() && baseline + ink.top() >= 0 &&
               baseline + ink.bottom() < label->height();
    };
    for (QLabel* label : findChildren<QLabel*>()) {
        if (!label->testAttribute(Qt::WA_SetFont))
            continue;
        QFont own = label->font();
        while (!ink_fits(label) && own.pointSizeF() > kSmallest) {
            own.setPointSizeF(own.pointSizeF() - 0.5);
            label->setFont(own);
        }
    }
    auto wide_enough = [this] {
        for (const QLabel* label : findChildren<QLabel*>())
            if (label->sizeHint().width() > label->width())
                return false;
        for (const QCheckBox* box : findChildren<QCheckBox*>())
            if (box->sizeHint().width() > box->width())
                return false;
        return true;
    };
    QFont form_font = font();
    while (!wide_enough() && form_font.pointSizeF() > kSmallest) {
        form_font.setPointSizeF(form_font.pointSizeF() - 0.5);
        setFont(form_font);
    }
}

void TandoraQT::init_pictures()
{
    new CPagePicture(ui.song, kPictures + QStringLiteral("Bg1.jpg"));
    new CPagePicture(ui.m_tabFirmwareUpdate, kPictures + QStringLiteral("Bg3.jpg"));
    new CPagePicture(this, kPictures + QStringLiteral("Bg2.jpg"));
}

void TandoraQT::anchor_pages()
{
    auto* song = new CPageAnchors(ui.song, this);
    song->anchor(ui.m_lstSong, CPageAnchors::GROW_WIDE | CPageAnchors::GROW_TALL);
    song->anchor(ui.m_labelMonoMode, CPageAnchors::MOVE_DOWN);
    song->anchor(ui.m_comMonoMode, CPageAnchors::MOVE_DOWN | CPageAnchors::GROW_WIDE);
    song->anchor(ui.m_labelFreeSpace, CPageAnchors::MOVE_DOWN | CPageAnchors::GROW_WIDE);
    song->anchor(ui.groupBox, CPageAnchors::MOVE_RIGHT);
    song->anchor(ui.m_labelLoudness, CPageAnchors::MOVE_RIGHT | CPageAnchors::MOVE_DOWN);
    song->anchor(ui.m_comLoudness, CPageAnchors::MOVE_RIGHT | CPageAnchors::MOVE_DOWN);
    for (QWidget* transport : {static_cast<QWidget*>(ui.m_btnPlay), static_cast<QWidget*>(ui.m_btnStop),
                               static_cast<QWidget*>(ui.m_labelPlayTime)})
        song->anchor(transport, CPageAnchors::MOVE_RIGHT | CPageAnchors::MOVE_DOWN);
}

void TandoraQT::update_window_title()
{
    setWindowTitle(window_title(pedal_identity(m_session), m_demo));
}

void TandoraQT::OnDeviceConnectStatusChanged(const SPedalConnect& connect, const SFirmwareCatalog* catalog)
{
    update_window_title();
    if (!connect.opened) {
        m_song_page->clear();
        m_firmware_page->clear();
        show_messages(connect.messages);
        return;
    }
    // Slots that could not be read are not listed as empty.
    if (connect.load_failed)
        m_song_page->clear();
    else
        m_song_page->show_slots(0);
    show_messages(connect.messages);
    if (catalog)
        m_firmware_page->show_catalog(*catalog);
}

void TandoraQT::show_work_state(int state)
{
    ui.propSheet->setTabEnabled(kSongTab, state != WORK_UPDATE_FIRMWARE);
    const bool song_work = state != WORK_IDLE && state != WORK_UPDATE_FIRMWARE && state != WORK_CONNECT;
    ui.propSheet->setTabEnabled(kFirmwareTab, !song_work);
    m_song_page->update_buttons();
    m_firmware_page->update_buttons();
    if (state == WORK_IDLE && m_close_when_idle)
        QTimer::singleShot(0, this, &QWidget::close);
}

void TandoraQT::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_nTimerId)
        m_watch->tick();
}

void TandoraQT::paintEvent(QPaintEvent*) {}

void TandoraQT::closeEvent(QCloseEvent* event)
{
    // A look for the pedal is not the user's work: the window closes once it has ended.
    if (m_runner->idle() || m_runner->state() == WORK_CONNECT) {
        event->accept();
        return;
    }
    event->ignore();
    if (m_close_when_idle)
        return;
    const EWorkState state = m_runner->state();
    // Playing changes nothing: its read stops unasked, at the next page.
    if (state == WORK_PLAY_SONG) {
        m_runner->task()->cancel();
    } else if (m_runner->task()->progress().cancellable) {
        if (!user_prompt().ask_yes_no(QStringLiteral("Close"), close_question(state)))
            return;
        m_runner->cancel_to_close();
    } else {
        show_message(close_notice(state));
    }
    // The answer's box ran the event loop: the work may have ended meanwhile.
    if (m_runner->idle())
        QTimer::singleShot(0, this, &QWidget::close);
    m_close_when_idle = true;
}

void TandoraQT::OnOpenFirmwareFile()
{
    m_firmware_page->on_open_file();
}

void TandoraQT::OnUpdateFirmware()
{
    m_firmware_page->on_update();
}

void TandoraQT::OnSelectLocalFile(bool boSel)
{
    m_firmware_page->on_select_local(boSel);
}

void TandoraQT::OnUploadSong()
{
    m_song_page->on_export();
}

void TandoraQT::OnDownloadSong()
{
    m_song_page->on_import();
}

void TandoraQT::OnDeleteSong()
{
    m_song_page->on_delete();
}

void TandoraQT::OnBackupSongs()
{
    m_song_page->on_backup();
}

void TandoraQT::OnRestoreSongs()
{
    m_song_page->on_restore();
}

void TandoraQT::OnSyncSetList()
{
    m_song_page->on_sync();
}

void TandoraQT::OnPlaySong()
{
    m_song_page->on_play();
}

void TandoraQT::OnStopSong()
{
    m_song_page->on_stop();
}

void TandoraQT::currentRowChanged(int currentRow)
{
    m_song_page->on_row_changed(currentRow);
}
