#include "core/song_operations.h"

#include "audio/wave.h"
#include "core/pedal_session.h"
#include "support/neat.h"
#include "support/task.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <memory>
#include <new>

namespace {

COperationResult from_store(ELooperActionResult result)
{
    return result == LOOPER_RESULT_CANCELLED ? COperationResult::cancelled() : COperationResult::song(result);
}

// The user may name a device or a pipe: those are written in place, plain files through
// a save file that replaces the target only when complete.
std::unique_ptr<QFileDevice> open_export_target(const QString& path)
{
    const QFileInfo target(path);
    std::unique_ptr<QFileDevice> file;
    if (target.exists() && !target.isFile())
        file = std::make_unique<QFile>(path);
    else
        file = std::make_unique<QSaveFile>(path);
    if (file->open(QIODevice::WriteOnly))
        return file;
    NEAT::AfxMessageBox(
        QString("Open file '%1' failed, it may be occupied by other process").arg(target.fileName()));
    return nullptr;
}

bool finish_export(QFileDevice& file, bool complete)
{
    auto* save = qobject_cast<QSaveFile*>(&file);
    if (!save)
        return complete;
    if (complete)
        return save->commit();
    save->cancelWriting();
    return false;
}

}  // namespace

COperationResult import_song(CPedalSession& session, const QString& path, int slot, CTask* task, bool verify)
{
    const SNandFlashConfig* format = session.song_format();
    if (!format)
        return COperationResult::song(LOOPER_RESULT_NOT_SUPPORTED);
    CWave wave;
    // The loader has shown why it refused the file; the pedal is not touched.
    if (!wave.Load(path))
        return COperationResult::refused_shown();
    if (task_cancelled(task))
        return COperationResult::cancelled();
    if (!wave.ResampleLinerAs46875Wav(static_cast<int>(format->channels)) || wave.GetBufferLength() == 0)
        return COperationResult::audio_failed();
    if (slot < 0)
        return COperationResult::song(LOOPER_RESULT_BAD_SLOT);
    if (task_cancelled(task))
        return COperationResult::cancelled();
    // Reading back takes as long as writing: each gets half of the bar.
    if (verify && task)
        task->set_percent_range(0, 50);
    const COperationResult written = from_store(session.songs().write_file(
        static_cast<unsigned int>(slot), wave.GetBuffer(), wave.GetBufferLength(), task));
    if (!verify || !written.ok())
        return written;
    if (task)
        task->set_percent_range(50, 100);
    return verify_slot(session, static_cast<unsigned int>(slot), wave.GetBuffer(), wave.GetBufferLength(),
                       task);
}

COperationResult verify_slot(CPedalSession& session, unsigned int slot, const unsigned char* song,
                             unsigned int length, CTask* task)
{
    const SNandFlashConfig* format = session.song_format();
    if (!format)
        return COperationResult::song(LOOPER_RESULT_NOT_SUPPORTED);
    if (task_cancelled(task))
        return COperationResult::cancelled();
    // Whatever the reload finds wrong elsewhere (another slot's torn record), this slot's
    // record and song are judged by the comparison below.
    static_cast<void>(session.songs().reload_slot(slot));
    const uint64_t stored = session.songs().get_file_length(slot);
    if (stored + format->unit_size <= length || stored >= uint64_t{length} + format->unit_size)
        return COperationResult::verify_failed(slot);
    std::unique_ptr<unsigned char[]> back(new (std::nothrow) unsigned char[stored]);
    if (!back)
        return COperationResult::audio_failed();
    const ELooperActionResult read =
        session.songs().read_file(slot, back.get(), static_cast<unsigned int>(stored), task);
    if (read != LOOPER_RESULT_OK)
        return from_store(read);
    const size_t common = std::min<size_t>(stored, length);
    const bool same =
        std::equal(back.get(), back.get() + common, song) &&
        std::all_of(back.get() + common, back.get() + stored, [](unsigned char b) { return b == 0; });
    return same ? COperationResult::song(LOOPER_RESULT_OK) : COperationResult::verify_failed(slot);
}

bool save_song_as_wav(const SNandFlashConfig& format, std::unique_ptr<unsigned char[]> song,
                      unsigned int length, QFileDevice& file)
{
    const auto channels = static_cast<unsigned short>(format.channels);
    const auto bits = static_cast<unsigned short>(format.bits_per_sample);
    CWave wave;
    wave.BuildFormat(channels, format.sample_rate, bits);
    wave.SetBuffer(song.release(), length / (bits / 8u * channels), false);
    return wave.ResampleLinerAs48000Wav(channels) && wave.Save(&file);
}

COperationResult export_song(CPedalSession& session, int slot, const QString& path, CTask* task)
{
    const SNandFlashConfig* format = session.song_format();
    if (!format)
        return COperationResult::song(LOOPER_RESULT_NOT_SUPPORTED);
    if (slot < 0 || !session.slot_holds_song(slot))
        return COperationResult::song(LOOPER_RESULT_BAD_SLOT);
    std::unique_ptr<QFileDevice> file = open_export_target(path);
    if (!file)
        return COperationResult::refused_shown();
    const unsigned int length = session.songs().get_file_length(static_cast<unsigned int>(slot));
    // The length comes from the pedal's record: a damaged one must not end the program.
    std::unique_ptr<unsigned char[]> song(new (std::nothrow) unsigned char[length]);
    if (!song) {
        finish_export(*file, false);
        return COperationResult::audio_failed();
    }
    const ELooperActionResult read =
        session.songs().read_file(static_cast<unsigned int>(slot), song.get(), length, task);
    if (read != LOOPER_RESULT_OK) {
        finish_export(*file, false);
        return from_store(read);
    }
    if (task_cancelled(task)) {
        finish_export(*file, false);
        return COperationResult::cancelled();
    }
    if (!finish_export(*file, save_song_as_wav(*format, std::move(song), length, *file)))
        return COperationResult::audio_failed();
    return COperationResult::song(LOOPER_RESULT_OK);
}

COperationResult delete_song(CPedalSession& session, int slot)
{
    if (slot < 0)
        return COperationResult::song(LOOPER_RESULT_BAD_SLOT);
    return COperationResult::song(session.songs().delete_file(static_cast<unsigned int>(slot)));
}
