#include "core/song_records.h"

#include "audio/song_loudness.h"
#include "audio/title_tag.h"
#include "audio/waveform_overview.h"
#include "core/backup_manifest.h"
#include "core/pedal_session.h"
#include "core/song_operations.h"
#include "device/nand_flash_config.h"
#include "library/cached_file_hash.h"
#include "library/song_library.h"
#include "library/song_name.h"
#include "songs/looper_song_data.h"

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

std::optional<SLoudness> recorded_loudness(const SLibrarySong& song)
{
    if (!song.loudness_lufs)
        return std::nullopt;
    return SLoudness{*song.loudness_lufs, song.loudness_range_lu.value_or(0), song.true_peak_dbtp};
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
    if (session.song_format() && session.song_format()->channels == 1)
        song.mono_mode = QString::fromLatin1(mono_mode_name(mono_mode));
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
    if (known && known->loudness_lufs && !known->overview.isEmpty())
        return recorded_loudness(*known);
    SLibrarySong recorded = known ? *known : slot_song(session, slot);
    if (recorded.overview.isEmpty())
        recorded.overview = overview_of(session, song, length);
    std::optional<SLoudness> loudness = recorded_loudness(recorded);
    if (!loudness && session.song_format()) {
        loudness = measure_song(song, length, session.song_format()->channels);
        if (loudness) {
            recorded.loudness_lufs = loudness->integrated_lufs;
            recorded.loudness_range_lu = loudness->range_lu;
            recorded.true_peak_dbtp = loudness->true_peak_dbtp;
        }
    }
    if (session.slot_holds_song(slot))
        session.library().record(recorded, {});
    return loudness;
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
