#include "core/pedal_view.h"

#include "audio/song_loudness.h"
#include "audio/song_time_text.h"
#include "core/pedal_session.h"
#include "device/model_info.h"
#include "device/nand_flash_config.h"
#include "device/usb_connect.h"
#include "library/library_song.h"
#include "library/song_library.h"
#include "songs/looper_song_data.h"
#include "support/neat.h"
#include "support/slot_song_name.h"

SPedalIdentity pedal_identity(const CPedalSession& session)
{
    SPedalIdentity identity;
    identity.open = session.is_open();
    if (!identity.open)
        return identity;
    const CUSBConnect& link = session.link();
    identity.update_mode = link.is_in_update_mode();
    identity.product_id = link.product_id();
    identity.firmware_version = link.firmware_version();
    if (const SModelInfo* model = link.model_info()) {
        identity.known_model = true;
        identity.model = QString::fromLatin1(model->model_name);
    }
    const SNandFlashConfig* format = session.song_format();
    identity.keeps_songs = identity.update_mode && format;
    identity.channels = format ? format->channels : 0;
    identity.slot_count = session.songs().slot_count();
    return identity;
}

namespace {

// The library's songs of the open pedal's model; none while no pedal is open.
std::vector<SLibrarySong> known_songs(const CPedalSession& session)
{
    return session.product_id() ? session.library().songs_of(session.product_id())
                                : std::vector<SLibrarySong>();
}

const SLibrarySong* song_in(const std::vector<SLibrarySong>& known, unsigned int slot,
                            const QString& fingerprint)
{
    for (const SLibrarySong& song : known)
        if (song.slot == slot && song.fingerprint == fingerprint)
            return &song;
    return nullptr;
}

SSlotLine line_of(const CPedalSession& session, unsigned int slot, const std::vector<SLibrarySong>& known)
{
    SSlotLine line;
    line.slot = slot;
    line.holds_song = session.slot_holds_song(static_cast<int>(slot));
    if (!line.holds_song) {
        line.head = slot_song_name(slot) + QStringLiteral(" -- (Empty)");
        line.text = line.head;
        return line;
    }
    line.bytes = session.songs().get_file_length(slot);
    line.seconds = session.song_seconds(line.bytes);
    line.head = session.songs().get_name(slot);
    line.text = line.head + QStringLiteral("  ") + time_text(line.seconds);
    const SLibrarySong* song = song_in(known, slot, session.slot_fingerprint(static_cast<int>(slot)));
    if (!song)
        return line;
    line.name = song->name;
    line.loudness = recorded_loudness(*song);
    line.overview = song->overview;
    if (line.loudness)
        line.text += QStringLiteral("  ") + loudness_text(line.loudness->integrated_lufs);
    if (!line.name.isEmpty())
        line.text += QStringLiteral("  ") + line.name;
    return line;
}

}  // namespace

SSlotLine slot_line(const CPedalSession& session, unsigned int slot)
{
    return line_of(session, slot, known_songs(session));
}

QString song_name_line(const CPedalSession& session, unsigned int slot)
{
    const SSlotLine line = slot_line(session, slot);
    return (line.name.isEmpty() ? slot_song_name(slot) : line.name) + QStringLiteral(" \u00b7 ") +
           time_text(line.seconds);
}

std::vector<SSlotLine> slot_lines(const CPedalSession& session)
{
    const std::vector<SLibrarySong> known = known_songs(session);
    std::vector<SSlotLine> lines;
    for (unsigned int slot = 0; slot < session.songs().slot_count(); ++slot)
        lines.push_back(line_of(session, slot, known));
    return lines;
}

SFreeSpace free_space(const CPedalSession& session)
{
    SFreeSpace free;
    const SNandFlashConfig* format = session.song_format();
    if (!format || !session.is_ready_for_songs())
        return free;
    free.bytes = session.free_song_bytes();
    free.seconds = session.song_seconds(free.bytes);
    free.text = free_space_text(free.bytes, format->channels);
    // One slot cannot take all the free space; its chain is the limit a musician meets.
    if (session.songs().slot_count() == 1) {
        free.longest_song_seconds = session.song_seconds(session.slot_song_bytes());
        free.text += QStringLiteral("; one song holds at most ") + time_text(free.longest_song_seconds);
    }
    return free;
}

QString loudness_spread_text(const std::vector<SSlotLine>& lines)
{
    const SSlotLine* quietest = nullptr;
    const SSlotLine* loudest = nullptr;
    for (const SSlotLine& line : lines) {
        if (!line.loudness)
            continue;
        if (!quietest || line.loudness->integrated_lufs < quietest->loudness->integrated_lufs)
            quietest = &line;
        if (!loudest || line.loudness->integrated_lufs > loudest->loudness->integrated_lufs)
            loudest = &line;
    }
    if (!quietest)
        return {};
    const auto named = [](const SSlotLine& line) {
        return QStringLiteral("%1, %2").arg(slot_song_name(line.slot),
                                            loudness_text(line.loudness->integrated_lufs));
    };
    return QStringLiteral("Quietest: %1. Loudest: %2.").arg(named(*quietest), named(*loudest));
}

std::optional<SLoudness> recorded_loudness(const SLibrarySong& song)
{
    if (!song.loudness_lufs)
        return std::nullopt;
    return SLoudness{*song.loudness_lufs, song.loudness_range_lu.value_or(0), song.true_peak_dbtp};
}

QString firmware_version_text(unsigned int version)
{
    return QStringLiteral("V") + NEAT::convert_version_to_str(version);
}
