#pragma once

// What a real pedal's link reads of a song in a second, sysex packing and page requests
// included (about 0.6 MB/s, as bench_device measures over the realistic link). Times told
// before a transfer are estimates at this pace; a write is taken to run as fast.
constexpr double kSongLinkBytesPerSecond = 600000;
// What moving one song by its record takes on a real pedal's link, whatever its length: one
// block's sum for the journal, one record written, one info block erased and the two slots
// read again. bench_songs measures 0.03 s ("move song seconds realistic link", a 4-minute
// song); this leaves room for a pedal slower than the emulator's figures.
constexpr double kSongMoveSeconds = 0.1;
