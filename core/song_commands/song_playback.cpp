#include "core/song_commands/song_playback.h"

#include "audio/song_stream.h"
#include "core/pedal_session.h"
#include "core/song_commands/song_records.h"
#include "core/song_commands/song_settings.h"
#include "device/nand_flash_config.h"
#include "songs/looper_song_data.h"
#include "support/task.h"

#include <algorithm>
#include <atomic>

std::shared_ptr<CSongStream> slot_stream(const CPedalSession& session, int slot)
{
    const SNandFlashConfig* format = session.song_format();
    if (!format || slot < 0 || !session.slot_holds_song(slot))
        return nullptr;
    return CSongStream::make(song_audio_format(*format),
                             session.songs().get_file_length(static_cast<unsigned int>(slot)));
}

COperationResult stream_slot(CPedalSession& session, int slot, CSongStream& stream, CTask* task)
{
    if (slot < 0 || !session.slot_holds_song(slot) ||
        stream.length() != session.songs().get_file_length(static_cast<unsigned int>(slot))) {
        stream.end(false);
        return COperationResult::song(LOOPER_RESULT_BAD_SLOT);
    }
    // The read reports each page to a task of its own, which tells the stream and passes
    // the progress on; the caller's cancel is passed to it, and so ends its waits too. The
    // report of a cancel comes on the canceller's thread, hence the atomic.
    CTask reading;
    std::atomic<uint64_t> told{0};
    const uint64_t length = stream.length();
    reading.set_listener([&] {
        const uint64_t done = reading.progress().bytes_done;
        stream.arrived(size_t(done));
        uint64_t before = told.load();
        while (done > before && !told.compare_exchange_weak(before, done))
            ;
        if (done > before) {
            task_bytes(task, done - before);
            task_step(task, done, length);
        }
    });
    if (task)
        task->set_bytes_total(task->progress().bytes_done + length);
    const CTask::CCancelWake passed_on(task, [&reading] { reading.cancel(); });
    if (task_cancelled(task))
        reading.cancel();
    task_begin_transfer(task);
    const ELooperActionResult read = session.songs().read_file(
        static_cast<unsigned int>(slot), stream.bytes(), static_cast<unsigned int>(length), &reading);
    stream.end(read == LOOPER_RESULT_OK);
    if (read != LOOPER_RESULT_OK)
        return task_cancelled(task) ? COperationResult::cancelled() : COperationResult::from_store(read);
    static_cast<void>(record_read(session, slot, stream.data(), stream.length()));
    return COperationResult::song(LOOPER_RESULT_OK);
}

COperationResult convert_for_playing(CPedalSession& session, const QString& path,
                                     const SImportSettings& settings, CTask* task,
                                     std::shared_ptr<CSongStream>& stream)
{
    SSongImport import;
    const COperationResult converted = convert_for_pedal(session, path, settings, task, import);
    if (!converted.ok())
        return converted;
    stream = CSongStream::whole_of(song_audio_format(*session.song_format()), import.song);
    return stream ? converted : COperationResult::audio_failed();
}
