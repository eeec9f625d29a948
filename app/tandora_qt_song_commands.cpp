#include "app/tandora_qt.h"

#include "core/song_operations.h"
#include "support/neat.h"
#include "support/user_prompt.h"

namespace {

const QString kWavSaveDir = QStringLiteral("/Config/WavSaveDir");
const QString kWavLoadDir = QStringLiteral("/Config/WavLoadDir");
const QString kWavCaption = QStringLiteral("Open wav file");
const QString kWavFilter = QStringLiteral("Wav Files(*.wav)");

}  // namespace

bool TandoraQT::is_still_selected(int slot) const
{
    return m_workState == WORK_IDLE && m_nCurSong == slot && is_ready_for_songs();
}

void TandoraQT::reload_after_command(int slot)
{
    // Whatever the reload found is what the list shows; a failure reads as empty slots.
    update_tree_name(slot);
}

void TandoraQT::OnUploadSong()
{
    const int slot = m_nCurSong;
    if (m_workState != WORK_IDLE || !slot_holds_song(slot))
        return;
    const QString proposed = read_config(kWavSaveDir) + QString::asprintf("./Song %.3d", slot + 1);
    const QString path = user_prompt().get_save_file_name(this, kWavCaption, proposed, kWavFilter);
    if (path.isEmpty() || !is_still_selected(slot) || !slot_holds_song(slot))
        return;
    write_config(kWavSaveDir, NEAT::get_folder_from_path(path));
    start_work(
        WORK_UPLOAD_SONG,
        [this, slot, path](CTask& task) { return export_song(m_session, slot, path, &task); },
        [this](const COperationResult& result) { report(result); });
}

void TandoraQT::OnDownloadSong()
{
    if (m_workState != WORK_IDLE)
        return;
    const int slot = m_nCurSong;
    if (slot_holds_song(slot) &&
        !user_prompt().ask_yes_no(
            QStringLiteral("Overwrite warning"),
            QStringLiteral("'%1' already exist, continue to overwrite the song?").arg(song_line(slot))))
        return;
    const QString path =
        user_prompt().get_open_file_name(this, kWavCaption, read_config(kWavLoadDir), kWavFilter);
    if (path.isEmpty())
        return;
    write_config(kWavLoadDir, NEAT::get_folder_from_path(path));
    if (!is_still_selected(slot))
        return;
    const bool verify = ui.m_chkVerifyImport->isChecked();
    start_work(
        WORK_DOWNLOAD_SONG,
        [this, slot, path, verify](CTask& task) {
            const COperationResult result = import_song(m_session, path, slot, &task, verify);
            // A refused file never reached the pedal: the store is as it was.
            if (!result.already_shown())
                static_cast<void>(m_session.load_songs());
            return result;
        },
        [this, slot](const COperationResult& result) {
            report(result);
            if (!result.already_shown())
                reload_after_command(slot);
        });
}

void TandoraQT::OnDeleteSong()
{
    const int slot = m_nCurSong;
    if (m_workState != WORK_IDLE || !slot_holds_song(slot))
        return;
    if (!user_prompt().ask_yes_no(QStringLiteral("Delete"),
                                  QStringLiteral("Continue to delete song '%1' ?").arg(song_line(slot))))
        return;
    if (!is_still_selected(slot) || !slot_holds_song(slot))
        return;
    start_work(
        WORK_DELETE_SONG,
        [this, slot](CTask&) {
            const COperationResult result = delete_song(m_session, slot);
            if (!result.ok())
                return result;
            return COperationResult::song(m_session.load_songs());
        },
        [this, slot](const COperationResult& result) {
            if (!result.ok())
                report(result);
            else
                reload_after_command(slot);
        });
}
