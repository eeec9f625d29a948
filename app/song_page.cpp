#include "app/song_page.h"

#include "app/app_config.h"
#include "app/message_box.h"
#include "app/slot_line_delegate.h"
#include "app/song_play.h"
#include "audio/song_loudness.h"
#include "audio/song_time_text.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "core/song_commands/song_operations.h"
#include "core/song_commands/song_records.h"
#include "core/song_commands/song_settings.h"
#include "ui_tandora_qt.h"

#include <QComboBox>
#include <QDebug>
#include <QListWidgetItem>
#include <algorithm>

namespace {

const QString kMonoModeKey = QStringLiteral("/Config/MonoMode");
const QString kVerifyImport = QStringLiteral("/Config/VerifyImport");
const QString kLoudnessKey = QStringLiteral("/Config/Loudness");

}  // namespace

CSongPage::CSongPage(Ui_TandoraQTClass& ui, CPedalSession& session, CWorkRunner& runner, QWidget* window)
    : QObject(window),
      m_ui(ui),
      m_list(ui.m_lstSong),
      m_list_viewport(ui.m_lstSong->viewport()),
      m_session(session),
      m_runner(runner),
      m_window(window)
{
    m_icon_song.addFile(":/TandoraQT/Resources/Pictures/tone.ico", QSize(), QIcon::Normal, QIcon::Off);
    m_icon_empty.addFile(":/TandoraQT/Resources/Pictures/toneNone.ico", QSize(), QIcon::Normal, QIcon::Off);
    init_mono_mode();
    init_loudness();
    m_ui.m_lstSong->setItemDelegate(new CSlotLineDelegate(
        [this](int row, const QString& name) {
            // After the edit has ended: the rename rebuilds the list the editor lies in.
            QMetaObject::invokeMethod(
                this, [this, row, name] { on_rename(row, name); }, Qt::QueuedConnection);
        },
        m_ui.m_lstSong));
    // Export and Delete take every selected line; the current line drives the rest.
    m_ui.m_lstSong->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A song's columns give way to the line's width: nothing lies past its right edge.
    m_ui.m_lstSong->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(m_ui.m_lstSong, &QListWidget::itemSelectionChanged, this, [this] { update_buttons(); });
    m_ui.m_lstSong->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::DoubleClicked);
    m_ui.m_lstSong->viewport()->setAcceptDrops(true);
    m_ui.m_lstSong->viewport()->installEventFilter(this);
    m_ui.m_lstSong->setDragEnabled(true);
    m_ui.m_lstSong->installEventFilter(this);
    init_verify_import();
    m_play = new CSongPlay(m_ui, m_session, m_runner, this, [this] { show_slots(m_current); });
    m_runner.set_song_player([this](const std::shared_ptr<const CSongStream>& song) {
        if (song)
            m_play->play_song(song);
        else
            m_play->stop();
    });
}

bool CSongPage::keeps_songs() const
{
    return pedal_identity(m_session).keeps_songs;
}

bool CSongPage::slot_holds_song(int slot) const
{
    return m_session.slot_holds_song(slot);
}

void CSongPage::show_slots(int row)
{
    qDebug("InitTreeFromMicData\n");
    m_ui.m_lstSong->clear();
    const std::vector<SSlotLine> lines = slot_lines(m_session);
    for (const SSlotLine& slot : lines) {
        auto* line = new QListWidgetItem(slot.holds_song ? m_icon_song : m_icon_empty, slot.text);
        if (slot.holds_song) {
            // A narrow window lets columns give way: the tool tip keeps the whole line.
            line->setToolTip(slot.text);
            line->setData(CSlotLineDelegate::kHeadRole, slot.head);
            line->setData(CSlotLineDelegate::kLengthRole, time_text(slot.seconds));
            if (slot.loudness)
                line->setData(CSlotLineDelegate::kLoudnessRole,
                              loudness_text(slot.loudness->integrated_lufs));
            line->setData(CSlotLineDelegate::kNameRole, slot.name);
            if (!slot.overview.isEmpty())
                line->setData(CSlotLineDelegate::kOverviewRole, slot.overview);
            line->setFlags(line->flags() | Qt::ItemIsEditable);
        } else {
            line->setFlags(line->flags() & ~Qt::ItemIsDragEnabled);
        }
        m_ui.m_lstSong->addItem(line);
    }
    show_free_space();
    m_ui.m_labelFreeSpace->setToolTip(loudness_spread_text(lines));
    m_play->show_place();
    // A row the rebuilt list does not have stays unselected rather than naming a slot
    // the store no longer holds.
    if (row >= 0 && row < m_ui.m_lstSong->count()) {
        m_ui.m_lstSong->setCurrentRow(row);
        on_row_changed(row);
    }
    update_buttons();
}

void CSongPage::clear()
{
    m_ui.m_lstSong->clear();
    show_free_space();
    m_ui.m_labelFreeSpace->setToolTip({});
    update_buttons();
}

void CSongPage::on_row_changed(int row)
{
    m_current = row;
    update_edit_buttons();
}

void CSongPage::update_buttons()
{
    // During work every command waits; only Cancel, in the progress area, stays live.
    const bool idle = m_runner.idle();
    const bool songs = idle && keeps_songs();
    for (QWidget* button : {m_ui.m_btnUpload, m_ui.m_btnDownload, m_ui.m_btnDelete, m_ui.m_btnBackup,
                            m_ui.m_btnRestore, m_ui.m_btnSync})
        button->setEnabled(songs);
    m_ui.m_chkVerifyImport->setEnabled(idle);
    // A stereo pedal takes both channels as they are.
    m_ui.m_comMonoMode->setEnabled(idle && pedal_identity(m_session).channels <= 1);
    m_ui.m_comLoudness->setEnabled(idle);
    // Once a slot is chosen, what it holds decides the slot's commands; with no line
    // selected they are off.
    if (m_current != -1 && !m_ui.m_lstSong->selectedItems().isEmpty()) {
        update_edit_buttons();
    } else {
        m_ui.m_btnUpload->setEnabled(false);
        m_ui.m_btnDelete->setEnabled(false);
        m_play->update_buttons(false);
    }
}

void CSongPage::update_edit_buttons()
{
    const bool song = m_runner.idle() && keeps_songs() && slot_holds_song(m_current);
    const bool several = m_runner.idle() && keeps_songs() && selected_songs().size() > 1;
    m_ui.m_btnUpload->setEnabled(song || several);
    m_ui.m_btnDelete->setEnabled(song || several);
    m_play->update_buttons(song);
}

void CSongPage::show_free_space()
{
    m_ui.m_labelFreeSpace->setText(free_space(m_session).text);
}

void CSongPage::init_mono_mode()
{
    for (EMonoMode mode : {EMonoMode::LEFT, EMonoMode::MIX})
        m_ui.m_comMonoMode->addItem(QString::fromLatin1(mono_mode_text(mode)),
                                    QString::fromLatin1(mono_mode_name(mode)));
    const EMonoMode remembered = mono_mode_from_name(read_config(kMonoModeKey)).value_or(EMonoMode::LEFT);
    m_ui.m_comMonoMode->setCurrentIndex(
        m_ui.m_comMonoMode->findData(QString::fromLatin1(mono_mode_name(remembered))));
    connect(m_ui.m_comMonoMode, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this] { write_config(kMonoModeKey, m_ui.m_comMonoMode->currentData().toString()); });
}

void CSongPage::init_loudness()
{
    for (ELoudnessTarget target : {ELoudnessTarget::AS_THE_FILE, ELoudnessTarget::LUFS_14,
                                   ELoudnessTarget::LUFS_16, ELoudnessTarget::LUFS_23})
        m_ui.m_comLoudness->addItem(loudness_target_text(target),
                                    QString::fromLatin1(loudness_target_name(target)));
    const ELoudnessTarget remembered =
        loudness_target_from_name(read_config(kLoudnessKey)).value_or(ELoudnessTarget::AS_THE_FILE);
    m_ui.m_comLoudness->setCurrentIndex(
        m_ui.m_comLoudness->findData(QString::fromLatin1(loudness_target_name(remembered))));
    connect(m_ui.m_comLoudness, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this] { write_config(kLoudnessKey, m_ui.m_comLoudness->currentData().toString()); });
}

void CSongPage::init_verify_import()
{
    m_ui.m_chkVerifyImport->setChecked(read_config(kVerifyImport) == QLatin1String("true"));
    connect(m_ui.m_chkVerifyImport, &QCheckBox::toggled, this, [](bool on) {
        write_config(kVerifyImport, on ? QStringLiteral("true") : QStringLiteral("false"));
    });
}

SImportSettings CSongPage::import_settings() const
{
    SImportSettings settings;
    settings.mono_mode =
        mono_mode_from_name(m_ui.m_comMonoMode->currentData().toString()).value_or(EMonoMode::LEFT);
    settings.loudness = loudness_target_from_name(m_ui.m_comLoudness->currentData().toString())
                            .value_or(ELoudnessTarget::AS_THE_FILE);
    return settings;
}

void CSongPage::on_play()
{
    if (m_runner.idle() && slot_holds_song(m_current))
        m_play->play_slot(m_current);
}

void CSongPage::on_stop()
{
    m_play->stop();
}

void CSongPage::on_rename(int slot, const QString& name)
{
    // The worker owns the session while it works; a name waits for the pedal to be free.
    if (!m_runner.idle() || !slot_holds_song(slot))
        return;
    // A library write takes milliseconds: it runs here, not as work on the pedal.
    const COperationResult result = m_session.with_notes(rename_song(m_session, slot, name));
    show_slots(slot);
    if (result.ok())
        show_messages(result.notes());
    else
        show_result(result);
}
