#include "app/tandora_qt.h"

#include "audio/song_time_text.h"
#include "core/song_operations.h"
#include "device/nand_flash_config.h"
#include "support/neat.h"

#include <QComboBox>
#include <QDebug>
#include <QLabel>
#include <QListWidgetItem>

namespace {

const QString kMonoModeKey = QStringLiteral("/Config/MonoMode");

}  // namespace

bool TandoraQT::is_ready_for_songs() const
{
    return m_session.is_ready_for_songs();
}

bool TandoraQT::slot_holds_song(int slot) const
{
    return m_session.slot_holds_song(slot);
}

QString TandoraQT::song_line(int slot) const
{
    const QListWidgetItem* line = ui.m_lstSong->item(slot);
    return line ? line->text() : QString();
}

void TandoraQT::load_data_from_device()
{
    if (!is_ready_for_songs() || !m_session.song_format())
        return;
    if (m_session.load_songs() != LOOPER_RESULT_OK) {
        NEAT::AfxMessageBox(QStringLiteral("Load song info failed !"));
        return;
    }
    InitTreeFromMicData();
    // Once a connection: later loads find the same interrupted writes again.
    for (unsigned int slot : m_session.songs().fallback_slots())
        NEAT::AfxMessageBox(CLooperSongData::fallback_notice(slot));
}

void TandoraQT::InitTreeFromMicData()
{
    qDebug("InitTreeFromMicData\n");
    update_tree_name(0);
}

void TandoraQT::update_tree_name(int row)
{
    ui.m_lstSong->clear();
    const SNandFlashConfig* format = m_session.song_format();
    const unsigned int channels = format ? format->channels : 1;
    for (unsigned int slot = 0; slot < m_session.songs().slot_count(); ++slot) {
        const bool song = m_session.songs().is_file_exist(slot);
        const QString text =
            song ? m_session.songs().get_name(slot)
                 : QString::asprintf("Song %.3d -- %s", static_cast<int>(slot + 1), "(Empty)");
        auto* line = new QListWidgetItem(song ? m_iconTone : m_iconToneNone, text);
        if (song)
            line->setToolTip(song_duration_text(m_session.songs().get_file_length(slot), channels));
        ui.m_lstSong->addItem(line);
    }
    show_free_space();
    // A row the rebuilt list does not have stays unselected rather than naming a slot
    // the store no longer holds.
    if (row < 0 || row >= ui.m_lstSong->count())
        return;
    ui.m_lstSong->setCurrentRow(row);
    select_tree_item(row);
}

void TandoraQT::currentRowChanged(int currentRow)
{
    select_tree_item(currentRow);
}

void TandoraQT::select_tree_item(int row)
{
    m_nCurSong = row;
    update_edit_status();
}

void TandoraQT::update_button_status()
{
    const bool ready = is_ready_for_songs();
    const bool songs = m_session.song_format() != nullptr;
    ui.m_btnUpload->setEnabled(ready && songs);
    ui.m_btnDownload->setEnabled(ready && songs);
    ui.m_btnDelete->setEnabled(ready && songs);
    ui.m_btnBackup->setEnabled(ready && songs);
    ui.m_btnRestore->setEnabled(ready && songs);
    ui.m_btnOpen->setEnabled(ready);
    ui.m_btnUpdate->setEnabled(ready);
    // A stereo pedal takes both channels as they are.
    const SNandFlashConfig* format = m_session.song_format();
    ui.m_comMonoMode->setEnabled(!format || format->channels == 1);
}

void TandoraQT::update_edit_status()
{
    const bool ready = is_ready_for_songs();
    const bool song = ready && slot_holds_song(m_nCurSong);
    ui.m_btnOpen->setEnabled(ready && m_nCurSong != -1);
    ui.m_btnUpload->setEnabled(song);
    ui.m_btnDelete->setEnabled(song);
}

void TandoraQT::show_free_space()
{
    const SNandFlashConfig* format = m_session.song_format();
    if (!format || !is_ready_for_songs()) {
        ui.m_labelFreeSpace->clear();
        return;
    }
    ui.m_labelFreeSpace->setText(free_space_text(m_session.free_song_bytes(), format->channels));
}

void TandoraQT::init_mono_mode()
{
    for (EMonoMode mode : {EMonoMode::LEFT, EMonoMode::MIX})
        ui.m_comMonoMode->addItem(QString::fromLatin1(mono_mode_text(mode)),
                                  QString::fromLatin1(mono_mode_name(mode)));
    const EMonoMode remembered = mono_mode_from_name(read_config(kMonoModeKey)).value_or(EMonoMode::LEFT);
    ui.m_comMonoMode->setCurrentIndex(
        ui.m_comMonoMode->findData(QString::fromLatin1(mono_mode_name(remembered))));
    connect(ui.m_comMonoMode, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this] { write_config(kMonoModeKey, ui.m_comMonoMode->currentData().toString()); });
}

EMonoMode TandoraQT::mono_mode() const
{
    return mono_mode_from_name(ui.m_comMonoMode->currentData().toString()).value_or(EMonoMode::LEFT);
}
