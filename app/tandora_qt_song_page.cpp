#include "app/tandora_qt.h"

#include "support/neat.h"

#include <QDebug>
#include <QListWidgetItem>

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
    if (m_session.load_songs() == LOOPER_RESULT_OK)
        InitTreeFromMicData();
    else
        NEAT::AfxMessageBox(QStringLiteral("Load song info failed !"));
}

void TandoraQT::InitTreeFromMicData()
{
    qDebug("InitTreeFromMicData\n");
    update_tree_name(0);
}

void TandoraQT::update_tree_name(int row)
{
    ui.m_lstSong->clear();
    for (unsigned int slot = 0; slot < m_session.songs().slot_count(); ++slot) {
        const bool song = m_session.songs().is_file_exist(slot);
        const QString text =
            song ? m_session.songs().get_name(slot)
                 : QString::asprintf("Song %.3d -- %s", static_cast<int>(slot + 1), "(Empty)");
        ui.m_lstSong->addItem(new QListWidgetItem(song ? m_iconTone : m_iconToneNone, text));
    }
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
}

void TandoraQT::update_edit_status()
{
    const bool ready = is_ready_for_songs();
    const bool song = ready && slot_holds_song(m_nCurSong);
    ui.m_btnOpen->setEnabled(ready && m_nCurSong != -1);
    ui.m_btnUpload->setEnabled(song);
    ui.m_btnDelete->setEnabled(song);
}
