#pragma once

#include "device/model_info.h"
#include "library/library_song.h"
#include "songs/song_journal.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

// backup.json: what a pedal backup holds, so a restore can check every byte before it
// writes one. Each song file holds a slot's song exactly as the pedal stores it.
struct SBackupSlot {
    unsigned int number = 0;  // 1-based, as the user sees it
    bool readable = true;     // false: the slot held a song that could not be read
    uint32_t length = 0;      // bytes, readable slots only
    QByteArray sha256;        // of the song file, readable slots only
    // What the library knew of the song: its name (empty for none) and loudness figures.
    SLibrarySong facts;
    // The slot's fingerprint and the pedal's sums of the song's blocks when it was backed
    // up: a later backup that finds a song of the same length and sums, in any slot, takes
    // the song file from this one.
    QString fingerprint;
    std::vector<SBlockRunSum> block_sums;
    // What the last block holds past the song file's bytes, as a sum: the current layout
    // stores whole units, and the pedal keeps the zero-filled part unit after them. With it
    // the block sums follow from the song file alone (proven_block_sums).
    uint16_t tail_sum = 0;
};

// The block sums the pedal holds for the song file `bytes` written in the blocks of
// `pedal_sums`' runs, `tail_sum` added to the last: equal to `pedal_sums` when the file is
// the song the pedal holds, short of a deliberate forgery (the sums are 16-bit and additive).
std::vector<SBlockRunSum> proven_block_sums(const SNandFlashConfig& format,
                                            const std::vector<SBlockRunSum>& pedal_sums, const QByteArray& bytes,
                                            uint16_t tail_sum);

// The slot format a backup can only go back into: the model's record layout and its
// channel count. Songs are never converted from one to the other.
struct SSlotFormat {
    ELooperSongFormat layout = LOOPER_SONG_FORMAT_NONE;
    uint32_t channels = 0;

    bool operator==(const SSlotFormat& other) const
    {
        return layout == other.layout && channels == other.channels;
    }
    bool operator!=(const SSlotFormat& other) const { return !(*this == other); }
    // "current stereo", "legacy mono".
    QString text() const;
    static std::optional<SSlotFormat> from_text(const QString& text);
    // The format of `model`; layout LOOPER_SONG_FORMAT_NONE when it keeps no songs.
    static SSlotFormat of_model(const SModelInfo& model);
};

struct SBackupManifest {
    static constexpr int kFormatVersion = 1;
    static const char kFileName[];  // "backup.json"
    // In a backup written into a folder that existed (a fresh USB stick's mount point)
    // until its last file is written: a folder holding it is an incomplete backup.
    static const char kIncompleteMarker[];  // "backup.incomplete"

    int format_version = kFormatVersion;
    QString program_version;
    QDateTime date;
    QString model_name;
    uint32_t product_id = 0;
    uint32_t firmware_version = 0;
    SSlotFormat slot_format;
    unsigned int slot_count = 0;     // slots of the model; those not listed were empty
    std::vector<SBackupSlot> songs;  // occupied slots, ascending

    QByteArray to_json() const;
    // The manifest in `json`, or nothing with `why` set ("the manifest is truncated").
    static std::optional<SBackupManifest> from_json(const QByteArray& json, QString& why);
    // "Song 004.raw": the song file of slot `number` (1-based).
    static QString song_file_name(unsigned int number);
    // Its WAV copy: "04 Intro jam.wav" for a song with a name, "Song 004.wav" without.
    static QString wav_file_name(unsigned int number, const QString& name);
};
