#include "app/tandora_qt.h"

#include "app/song_import_report.h"
#include "audio/song_import.h"
#include "core/song_operations.h"
#include "support/neat.h"
#include "support/user_prompt.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

const QString kWavSaveDir = QStringLiteral("/Config/WavSaveDir");
const QString kWavLoadDir = QStringLiteral("/Config/WavLoadDir");
const QString kWavCaption = QStringLiteral("Open wav file");
const QString kWavFilter = QString::fromLatin1(kWavFileFilter);
// Every format first, the WAV files alone as the second choice of the same dialog.
const QString kImportFilter = QString::fromLatin1(kAudioFileFilter) + QStringLiteral(";;") + kWavFilter;

// The last export's folder, or the user's music folder the first time.
QString proposed_export_path(const QString& saved_folder, int slot)
{
    const QString name = QString::asprintf("Song %.3d.wav", slot + 1);
    const QString folder = saved_folder.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::MusicLocation)
                               : saved_folder;
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

// A name typed without an extension would be saved without one, and the import
// dialog's filters would then hide it. A device or a file the user chose as it is
// stays as named.
QString with_wav_suffix(const QString& path)
{
    const QFileInfo chosen(path);
    return chosen.suffix().isEmpty() && !chosen.exists() ? path + QStringLiteral(".wav") : path;
}

// A file refused as audio, or as too long for the slot or the free space, never reached
// the pedal: the store is as it was.
bool reached_pedal(const std::vector<COperationResult>& results)
{
    return std::any_of(results.begin(), results.end(), [](const COperationResult& result) {
        return result.kind() != COperationResult::EKind::AUDIO &&
               result.song_result() != LOOPER_RESULT_FILE_TOO_LARGE &&
               result.song_result() != LOOPER_RESULT_NO_SPACE;
    });
}

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
    const QString proposed = proposed_export_path(read_config(kWavSaveDir), slot);
    const QString chosen = user_prompt().get_save_file_name(this, kWavCaption, proposed, kWavFilter);
    if (chosen.isEmpty() || !is_still_selected(slot) || !slot_holds_song(slot))
        return;
    const QString path = with_wav_suffix(chosen);
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
        !user_prompt().ask_yes_no(QStringLiteral("Overwrite warning"), overwrite_question({song_line(slot)})))
        return;
    const QString path =
        user_prompt().get_open_file_name(this, kWavCaption, read_config(kWavLoadDir), kImportFilter);
    if (path.isEmpty())
        return;
    write_config(kWavLoadDir, NEAT::get_folder_from_path(path));
    if (!is_still_selected(slot))
        return;
    start_import(slot, {path}, {});
}

void TandoraQT::start_import(int first_slot, const QStringList& paths, const QStringList& past_end)
{
    // Written on the worker, read on the GUI thread once the worker has ended.
    auto results = std::make_shared<std::vector<COperationResult>>();
    const EMonoMode mode = mono_mode();
    const bool verify = ui.m_chkVerifyImport->isChecked();
    start_work(
        WORK_DOWNLOAD_SONG,
        [this, first_slot, paths, mode, verify, results](CTask& task) {
            *results = import_songs(m_session, paths, first_slot, mode, &task, verify);
            // One slot changed: only it is read again; a drop of several files reads all.
            if (reached_pedal(*results) && results->size() == 1)
                static_cast<void>(m_session.songs().reload_slot(static_cast<unsigned>(first_slot)));
            else if (reached_pedal(*results))
                static_cast<void>(m_session.load_songs());
            return results->back();
        },
        [this, first_slot, paths, past_end, results](const COperationResult&) {
            if (paths.size() == 1 && past_end.isEmpty())
                report(results->front());
            else
                NEAT::AfxMessageBox(song_import_report(first_slot, paths, *results, past_end));
            if (reached_pedal(*results))
                reload_after_command(first_slot);
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
            return COperationResult::song(m_session.songs().reload_slot(static_cast<unsigned>(slot)));
        },
        [this, slot](const COperationResult& result) {
            if (!result.ok())
                report(result);
            else
                reload_after_command(slot);
        });
}
