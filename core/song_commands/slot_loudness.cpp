#include "core/song_commands/slot_loudness.h"

#include "audio/song_time_text.h"
#include "core/link_speed.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "core/song_commands/song_records.h"
#include "songs/looper_song_data.h"
#include "support/task.h"

#include <new>

namespace {

// The library's figures when they are whole: a song imported as the file has no true peak
// there until it is read.
std::optional<SLoudness> library_figures(const CPedalSession& session, unsigned int slot)
{
    const std::optional<SLibrarySong> known = known_song(session, int(slot));
    const std::optional<SLoudness> figures = known ? recorded_loudness(*known) : std::nullopt;
    return figures && figures->true_peak_dbtp ? figures : std::nullopt;
}

}  // namespace

std::vector<unsigned int> slots_to_read(const CPedalSession& session, const std::vector<unsigned int>& wanted)
{
    std::vector<unsigned int> read;
    for (unsigned int slot : wanted)
        if (session.slot_holds_song(int(slot)) && !library_figures(session, slot))
            read.push_back(slot);
    return read;
}

QString loudness_read_notice(const CPedalSession& session, const std::vector<unsigned int>& wanted)
{
    uint64_t bytes = 0;
    const std::vector<unsigned int> read = slots_to_read(session, wanted);
    for (unsigned int slot : read)
        bytes += session.songs().get_file_length(slot);
    if (read.empty())
        return {};
    return QStringLiteral("Reading %1 %2 (%3) from the pedal takes about %4.")
        .arg(read.size())
        .arg(read.size() == 1 ? QStringLiteral("song") : QStringLiteral("songs"), megabytes_text(bytes),
             time_text(double(bytes) / kSongLinkBytesPerSecond));
}

COperationResult measure_slots(CPedalSession& session, const std::vector<unsigned int>& wanted, CTask* task,
                               std::vector<SSlotLoudness>& figures)
{
    const std::vector<unsigned int> read = slots_to_read(session, wanted);
    if (task) {
        uint64_t bytes = 0;
        for (unsigned int slot : read)
            bytes += session.songs().get_file_length(slot);
        task->set_bytes_total(bytes);
    }
    unsigned int part = 0;
    for (unsigned int slot : wanted) {
        if (!session.slot_holds_song(int(slot)))
            return COperationResult::song(LOOPER_RESULT_BAD_SLOT);
        if (const std::optional<SLoudness> known = library_figures(session, slot)) {
            figures.push_back({slot, *known, false});
            continue;
        }
        if (task)
            task->set_part(++part, unsigned(read.size()));
        const unsigned int length = session.songs().get_file_length(slot);
        // The length comes from the pedal's record: a damaged one must not end the program.
        std::unique_ptr<unsigned char[]> song(new (std::nothrow) unsigned char[length]);
        if (!song)
            return COperationResult::audio_failed();
        const ELooperActionResult result = session.songs().read_file(slot, song.get(), length, task);
        if (result == LOOPER_RESULT_CANCELLED)
            return COperationResult::cancelled();
        if (result != LOOPER_RESULT_OK)
            return COperationResult::song(result);
        const std::optional<SLoudness> measured = record_read(session, int(slot), song.get(), length);
        if (!measured)
            return COperationResult::audio_failed();
        figures.push_back({slot, *measured, true});
    }
    return COperationResult::song(LOOPER_RESULT_OK);
}
