#include "app/song_page.h"

#include "app/app_config.h"
#include "app/message_box.h"
#include "app/song_import_report.h"
#include "app/user_prompt.h"
#include "audio/song_import.h"
#include "core/pedal_session.h"
#include "core/song_commands/song_operations.h"
#include "core/song_commands/song_records.h"
#include "support/neat.h"
#include "ui_tandora_qt.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

const QString kWavLoadDir = QStringLiteral("/Config/WavLoadDir");
const QString kWavCaption = QStringLiteral("Open wav file");
const QString kWavFilter = QString::fromLatin1(kWavFileFilter);
// Every format first, the WAV files alone as the second choice of the same dialog.
const QString kImportFilter = QString::fromLatin1(kAudioFileFilter) + QStringLiteral(";;") + kWavFilter;

// `name` in the last export's folder, or in the user's music folder the first time.
QString proposed_export_path(const QString& saved_folder, const QString& name)
{
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

// A file refused as audio, or as too long for the slot or the free space, or a question
// answered No, never reached the pedal: the store is as it was.
bool reached_pedal(const std::vector<COperationResult>& results)
{
    return std::any_of(results.begin(), results.end(), [](const COperationResult& result) {
        return result.kind() != COperationResult::EKind::AUDIO &&
               result.kind() != COperationResult::EKind::DECLINED &&
               result.song_result() != LOOPER_RESULT_FILE_TOO_LARGE &&
               result.song_result() != LOOPER_RESULT_NO_SPACE;
    });
}

}  // namespace

bool CSongPage::is_still_selected(int slot) const
{
    return m_runner.idle() && m_current == slot && m_session.is_ready_for_songs();
}

void CSongPage::on_export()
{
    if (const std::vector<int> several = selected_songs(); several.size() > 1 && m_runner.idle()) {
        export_several(several);
        return;
    }
    const int slot = m_current;
    if (!m_runner.idle() || !slot_holds_song(slot))
        return;
    const QString proposed =
        proposed_export_path(read_config(wav_save_dir_key()), export_file_name(m_session, slot));
    const QString chosen = user_prompt().get_save_file_name(m_window, kWavCaption, proposed, kWavFilter);
    if (chosen.isEmpty() || !is_still_selected(slot) || !slot_holds_song(slot))
        return;
    const QString path = with_wav_suffix(chosen);
    write_config(wav_save_dir_key(), NEAT::get_folder_from_path(path));
    m_runner.start(
        WORK_UPLOAD_SONG,
        [this, slot, path](CTask& task) { return export_song(m_session, slot, path, &task); },
        [](const COperationResult& result) { show_result(result); });
}

void CSongPage::on_import()
{
    if (!m_runner.idle())
        return;
    const int slot = m_current;
    const QString path =
        user_prompt().get_open_file_name(m_window, kWavCaption, read_config(kWavLoadDir), kImportFilter);
    if (path.isEmpty())
        return;
    write_config(kWavLoadDir, NEAT::get_folder_from_path(path));
    if (!is_still_selected(slot))
        return;
    start_import(slot, {path}, {});
}

void CSongPage::start_import(int first_slot, const QStringList& paths, const QStringList& past_end)
{
    // Written on the worker, read on the GUI thread once the worker has ended.
    auto results = std::make_shared<std::vector<COperationResult>>();
    const SImportSettings settings = import_settings();
    const bool verify = m_ui.m_chkVerifyImport->isChecked();
    CQuestions& questions = m_runner.questions();
    m_runner.start(
        WORK_DOWNLOAD_SONG,
        [this, first_slot, paths, settings, verify, results, &questions](CTask& task) {
            if (paths.size() == 1)
                results->push_back(
                    import_song(m_session, paths.front(), first_slot, settings, &task, verify, questions));
            else
                *results = import_songs(m_session, paths, first_slot, settings, &task, verify, questions);
            return results->back();
        },
        [this, first_slot, paths, past_end, results](const COperationResult& last) {
            if (reached_pedal(*results))
                show_slots(first_slot);
            // A No has nothing to tell; the files before it do.
            if (last.kind() == COperationResult::EKind::DECLINED)
                results->pop_back();
            if (results->empty())
                return;
            if (paths.size() == 1 && past_end.isEmpty()) {
                show_result(last);
            } else {
                show_messages(last.notes());
                show_message(song_import_report(first_slot, paths, *results, past_end));
            }
        });
}

void CSongPage::on_delete()
{
    if (const std::vector<int> several = selected_songs(); several.size() > 1 && m_runner.idle()) {
        delete_several(several);
        return;
    }
    const int slot = m_current;
    if (!m_runner.idle() || !slot_holds_song(slot))
        return;
    CQuestions& questions = m_runner.questions();
    m_runner.start(
        WORK_DELETE_SONG,
        [this, slot, &questions](CTask&) { return delete_song(m_session, slot, questions); },
        [this, slot](const COperationResult& result) {
            if (!result.ok())
                show_result(result);
            else
                show_slots(slot);
        });
}
