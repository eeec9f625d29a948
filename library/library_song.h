#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

// What the library knows of one song Tandora wrote, restored or read whole: a row of the
// library, found again by the pedal model, the slot and the slot's fingerprint.
struct SLibrarySong {
    uint32_t product_id = 0;
    unsigned int slot = 0;  // 0-based
    // The slot's fingerprint when the song was recorded (see CLooperSongData::slot_fingerprint).
    QString fingerprint;
    QString name;  // empty: no name
    // The file it was imported from; empty for a song read from the pedal or restored.
    QString source_path;
    QString source_sha256;  // lower-case hex
    QString mono_mode;      // "left" or "mix" as the settings spell it; empty when unknown
    QDateTime date;         // when it was recorded, UTC
    double seconds = 0;
    uint64_t stored_bytes = 0;
    // Integrated loudness (LUFS), loudness range (LU) and true peak (dBTP), when measured.
    std::optional<double> loudness_lufs;
    std::optional<double> loudness_range_lu;
    std::optional<double> true_peak_dbtp;
    QString loudness_setting;  // the import's loudness setting, empty when unknown
    std::optional<double> gain_db;
    // The song's waveform overview (audio/waveform_overview.h); empty until made.
    QByteArray overview;
};
