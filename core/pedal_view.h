#pragma once

#include "audio/loudness_meter.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class CPedalSession;
struct SLibrarySong;

// What the front ends show of the connected pedal, computed here once so the window and
// the command-line tool cannot drift apart. Slots are 0-based.

struct SPedalIdentity {
    bool open = false;         // a link to a pedal is open
    bool update_mode = false;  // ... and the pedal answers in update mode
    bool known_model = false;  // its product ID has a row in the model table
    QString model;             // "PULSE RING"; empty when not known
    unsigned int product_id = 0;
    unsigned int firmware_version = 0;
    // Songs can be read and written: update mode and a model with song slots.
    bool keeps_songs = false;
    unsigned int channels = 0;  // of the stored songs; 0 without songs
    unsigned int slot_count = 0;
};

struct SSlotLine {
    unsigned int slot = 0;
    bool holds_song = false;
    uint64_t bytes = 0;
    double seconds = 0;
    // The song's name in the library; empty when it has none, or the slot was rewritten
    // since by anyone else.
    QString name;
    // The song's loudness figures in the library, when it has them (the same rule).
    std::optional<SLoudness> loudness;
    // The song's waveform overview (audio/waveform_overview.h); empty until the song has
    // passed through the program once.
    QByteArray overview;
    // The line's first part: "Song 004 -- (12.34  MB)", or "Song 004 -- (Empty)".
    QString head;
    // "Song 004 -- (12.34  MB)  4:00  −14.2 LUFS  Intro jam", or "Song 004 -- (Empty)".
    QString text;
};

struct SFreeSpace {
    uint64_t bytes = 0;
    double seconds = 0;
    // On a one-slot model, the longest song the slot holds; 0 elsewhere.
    double longest_song_seconds = 0;
    // "Free: 37:17 of mono audio (300.0 MB)"; on a one-slot model followed by
    // "; one song holds at most 10:05"; empty without songs.
    QString text;
};

SPedalIdentity pedal_identity(const CPedalSession& session);
// The song in `slot` as a musician names it, for the questions about it: "Intro jam · 4:00",
// or "Song 004 · 4:00" for a song without a name.
QString song_name_line(const CPedalSession& session, unsigned int slot);
std::vector<SSlotLine> slot_lines(const CPedalSession& session);
SSlotLine slot_line(const CPedalSession& session, unsigned int slot);
SFreeSpace free_space(const CPedalSession& session);
// The spread of the songs' loudness among `lines`: "Quietest: Song 003, −23.1 LUFS.
// Loudest: Song 001, −14.2 LUFS."; empty when no song has its figures.
QString loudness_spread_text(const std::vector<SSlotLine>& lines);
// The loudness figures the library's record of a song holds, as its line shows them;
// nothing when it was never measured.
std::optional<SLoudness> recorded_loudness(const SLibrarySong& song);
// "V1.2.3", as the pedal's firmware versions are shown.
QString firmware_version_text(unsigned int version);
