#include "app/tandora_qt.h"

#include "app/window_task.h"
#include "support/neat.h"
#include "support/user_prompt.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <new>

namespace {

const QString kWavSaveDir = QStringLiteral("/Config/WavSaveDir");
const QString kWavLoadDir = QStringLiteral("/Config/WavLoadDir");
const QString kWavCaption = QStringLiteral("Open wav file");
const QString kWavFilter = QStringLiteral("Wav Files(*.wav)");

// The audio could not be converted or its WAV file not be written. No song code says
// so; a value past the table is shown as "Failed !" rather than letting such a command
// end in "Successful !".
constexpr auto kAudioFailed = static_cast<ELooperActionResult>(-1);

}  // namespace

bool TandoraQT::is_still_selected(int slot) const
{
    return m_workState == WORK_IDLE && m_nCurSong == slot && is_ready_for_songs();
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
    // Opened without truncating: a file exported over keeps what it held until the new
    // song has been read from the pedal and converted.
    const bool existed = QFileInfo::exists(path);
    QFile file;
    if (!NEAT::OpenFile(file, path, QIODevice::ReadWrite, 1))
        return;
    write_config(kWavSaveDir, NEAT::get_folder_from_path(path));

    begin_work_state(WORK_UPLOAD_SONG);
    bool rewritten = false;
    const ELooperActionResult result = export_song(slot, file, rewritten);
    file.close();
    // An empty or cut-off file would pass for the song in a folder of exports. Only a
    // plain file is removed: the user may have named a device or a pipe.
    if (result != LOOPER_RESULT_OK && (rewritten || !existed) && QFileInfo(file).isFile())
        file.remove();
    report(result);
    end_work_state();
}

ELooperActionResult TandoraQT::export_song(int slot, QFile& file, bool& rewritten)
{
    const SNandFlashConfig* format = song_format();
    if (!format)
        return LOOPER_RESULT_NOT_SUPPORTED;
    const unsigned int length = m_songData.get_file_length(static_cast<unsigned int>(slot));
    // The length comes from the pedal's record: a damaged one must not end the program.
    std::unique_ptr<unsigned char[]> song(new (std::nothrow) unsigned char[length]);
    if (!song)
        return kAudioFailed;
    CWindowTask task(this);
    const ELooperActionResult result =
        m_songData.read_file(static_cast<unsigned int>(slot), song.get(), length, task.get());
    if (result != LOOPER_RESULT_OK)
        return result;

    const auto channels = static_cast<unsigned short>(format->channels);
    const auto bits = static_cast<unsigned short>(format->bits_per_sample);
    CWave wave;
    wave.BuildFormat(channels, format->sample_rate, bits);
    wave.SetBuffer(song.release(), length / (bits / 8u * channels), false);
    if (!wave.ResampleLinerAs48000Wav(channels))
        return kAudioFailed;
    rewritten = true;
    if ((QFileInfo(file).isFile() && !file.resize(0)) || !wave.Save(&file))
        return kAudioFailed;
    return LOOPER_RESULT_OK;
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

    begin_work_state(WORK_DOWNLOAD_SONG);
    // The loader has shown why it refused the file; the pedal is not touched.
    if (!m_wave.Load(path)) {
        end_work_state();
        return;
    }
    report(import_song(slot));
    // Whatever the reload finds is what the list shows; a failure reads as empty slots.
    static_cast<void>(m_songData.load_song_info());
    update_tree_name(slot);
    end_work_state();
}

ELooperActionResult TandoraQT::import_song(int slot)
{
    const SNandFlashConfig* format = song_format();
    if (!format)
        return LOOPER_RESULT_NOT_SUPPORTED;
    if (!m_wave.ResampleLinerAs46875Wav(static_cast<int>(format->channels)) || m_wave.GetBufferLength() == 0)
        return kAudioFailed;
    if (slot < 0)
        return LOOPER_RESULT_BAD_SLOT;
    CWindowTask task(this);
    return m_songData.write_file(static_cast<unsigned int>(slot), m_wave.GetBuffer(),
                                 m_wave.GetBufferLength(), task.get());
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
    ELooperActionResult result = m_songData.delete_file(static_cast<unsigned int>(slot));
    if (result != LOOPER_RESULT_OK) {
        report(result);
        return;
    }
    result = m_songData.load_song_info();
    if (result != LOOPER_RESULT_OK)
        report(result);
    else
        update_tree_name(slot);
}
