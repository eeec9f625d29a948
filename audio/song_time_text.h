#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// Lengths and sizes of songs as the window and the command-line tool show them. Times
// are m:ss, or h:mm:ss from one hour up; MB are 2^20 bytes with one decimal.

// A length in seconds, rounded to the tenth and then cut to the whole second: a slot of
// 293.6 s holds at most 4:53, and 300 MB of mono audio (2236.998 s) reads 37:17.
QString time_text(double seconds);
// Where a song playing is, of its length, both in frames at the pedal's rate: "0:42 / 4:00",
// followed by "  buffering" while it waits for the pedal's read.
QString play_time_text(uint64_t position, uint64_t frames, bool buffering);
// "300.0 MB"
QString megabytes_text(uint64_t bytes);
// Seconds of song held by `bytes` of the pedal's audio with `channels` channels.
double song_seconds(uint64_t bytes, unsigned int channels);
// The length of a slot's song, for its tool tip: "4:53".
QString song_duration_text(uint64_t bytes, unsigned int channels);
// "Free: 37:17 of mono audio (300.0 MB)"; "of stereo audio" with two channels.
QString free_space_text(uint64_t free_bytes, unsigned int channels);
// The line under "File too large!": "This slot holds at most 4:53; the file is 10:00.",
// or "...; the file is longer." when the file's length is not known.
QString too_long_text(uint64_t slot_max_bytes, unsigned int channels, std::optional<double> file_seconds);
// The line under "Space not enough!":
// "Free: 3:20 (33.5 MB); the song needs 5:00 (40.2 MB)."
QString no_space_text(uint64_t free_bytes, uint64_t needed_bytes, unsigned int channels);
