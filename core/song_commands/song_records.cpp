#include "core/song_commands/song_records.h"

#include "audio/song_loudness.h"
#include "audio/title_tag.h"
#include "audio/waveform_overview.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "core/song_commands/song_settings.h"
#include "device/nand_flash_config.h"
#include "library/cached_file_hash.h"
#include "library/song_library.h"
#include "library/song_name.h"
#include "songs/looper_song_data.h"
#include "support/slot_song_name.h"

#include <QFileInfo>

namespace {

// A row for the song `slot` holds now, with what the slot itself tells.
SLibrarySong slot_song(const CPedalSession& session, int slot)
{
    SLibrarySong song;
    song.product_id = session.product_id();
    song.slot = static_cast<unsigned int>(slot);
    song.fingerprint = session.slot_fingerprint(slot);
    song.date = QDateTime::currentDateTimeUtc();
    song.stored_bytes = session.songs().get_file_length(song.slot);
    song.seconds = session.song_seconds(song.stored_bytes);
    return song;
}

// The overview of a song of the session's pedal; empty without a song format.
QByteArray overview_of(const CPedalSession& session, const unsigned char* song, size_t length)
{
    const SNandFlashConfig* format = session.song_format();
    return format ? waveform_overview(song, length, song_audio_format(*format)) : QByteArray();
}

}  // namespace

std::optional<SLibrarySong> known_song(const CPedalSession& session, int slot)
{
    const QString fingerprint = session.slot_fingerprint(slot);
    if (fingerprint.isEmpty())
        return std::nullopt;
    return session.library().find(session.product_id(), static_cast<unsigned int>(slot), fingerprint);
}

QString known_name(const CPedalSession& session, int slot)
{
    const std::optional<SLibrarySong> song = known_song(session, slot);
    return song ? song->name : QString();
}

QString imported_song_name(const QString& path)
{
    const QString title = song_name_from(title_tag(path));
    return title.isEmpty() ? song_name_from(QFileInfo(path).completeBaseName()) : title;
}

void record_import(CPedalSession& session, int slot, const QString& replaced_fingerprint, const QString& path,
                   EMonoMode mono_mode, const SSongImport& import, const QByteArray& overview)
{
    SLibrarySong song = slot_song(session, slot);
    song.name = imported_song_name(path);
    song.source_path = QFileInfo(path).absoluteFilePath();
    song.source_sha256 = import.source_sha256;
    remember_file_sha256(session.library(), path, import.source_sha256);
    song.mono_mode = recorded_mono_mode(session.song_format(), mono_mode);
    song.loudness_lufs = import.loudness.integrated_lufs;
    song.loudness_range_lu = import.loudness.range_lu;
    song.true_peak_dbtp = import.loudness.true_peak_dbtp;
    song.loudness_setting = QString::fromLatin1(loudness_target_name(import.loudness_target));
    if (import.loudness_target != ELoudnessTarget::AS_THE_FILE)
        song.gain_db = import.gain.gain_db;
    song.overview = overview;
    session.library().record(song, replaced_fingerprint);
}

void record_named_song(CPedalSession& session, int slot, const QString& replaced_fingerprint,
                       const SLibrarySong& facts, const unsigned char* data, size_t length)
{
    SLibrarySong song = slot_song(session, slot);
    song.name = facts.name;
    song.loudness_lufs = facts.loudness_lufs;
    song.loudness_range_lu = facts.loudness_range_lu;
    song.true_peak_dbtp = facts.true_peak_dbtp;
    song.overview = overview_of(session, data, length);
    session.library().record(song, replaced_fingerprint);
}

std::optional<SLoudness> record_read(CPedalSession& session, int slot, const unsigned char* song,
                                     size_t length)
{
    std::optional<SLibrarySong> known = known_song(session, slot);
    if (known && known->loudness_lufs && known->true_peak_dbtp && !known->overview.isEmpty())
        return recorded_loudness(*known);
    SLibrarySong recorded = known ? *known : slot_song(session, slot);
    if (recorded.overview.isEmpty())
        recorded.overview = overview_of(session, song, length);
    // An import that keeps the file's level measures no true peak; the whole song read here
    // gives it, and figures already recorded stay as they are.
    if ((!recorded.loudness_lufs || !recorded.true_peak_dbtp) && session.song_format()) {
        if (const std::optional<SLoudness> measured =
                measure_song(song, length, session.song_format()->channels)) {
            if (!recorded.loudness_lufs) {
                recorded.loudness_lufs = measured->integrated_lufs;
                recorded.loudness_range_lu = measured->range_lu;
            }
            recorded.true_peak_dbtp = measured->true_peak_dbtp;
        }
    }
    if (session.slot_holds_song(slot))
        session.library().record(recorded, {});
    return recorded_loudness(recorded);
}

void record_moved(CPedalSession& session, const std::optional<SLibrarySong>& known, int to)
{
    if (!known)
        return;
    SLibrarySong moved = *known;
    moved.slot = static_cast<unsigned int>(to);
    moved.fingerprint = session.slot_fingerprint(to);
    session.library().forget(known->product_id, known->slot, known->fingerprint);
    if (!moved.fingerprint.isEmpty())
        session.library().record(moved, {});
}

void forget_song(CPedalSession& session, int slot, const QString& fingerprint)
{
    if (!fingerprint.isEmpty())
        session.library().forget(session.product_id(), static_cast<unsigned int>(slot), fingerprint);
}

COperationResult rename_song(CPedalSession& session, int slot, const QString& name)
{
    if (slot < 0 || slot >= int(session.songs().slot_count()))
        return COperationResult::song(LOOPER_RESULT_BAD_SLOT);
    if (!session.slot_holds_song(slot))
        return COperationResult::library(false,
                                         slot_song_name(unsigned(slot)) + QStringLiteral(" is empty."));
    const std::optional<QString> valid = valid_song_name(name);
    if (!valid)
        return COperationResult::library(false, song_name_rule_text());
    if (!session.library().rename(session.product_id(), unsigned(slot), session.slot_fingerprint(slot),
                                  *valid))
        return COperationResult::library(false, QStringLiteral("The name was not kept."));
    return COperationResult::library(
        true, valid->isEmpty()
                  ? QStringLiteral("%1 has no name now.").arg(slot_song_name(unsigned(slot)))
                  : QStringLiteral("%1 is now named %2.").arg(slot_song_name(unsigned(slot)), *valid));
}

QString export_file_name(const CPedalSession& session, int slot)
{
    const QString name = file_safe_name(known_name(session, slot));
    return (name.isEmpty() ? slot_song_name(unsigned(slot)) : name) + QStringLiteral(".wav");
}
