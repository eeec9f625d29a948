#pragma once

// What a real pedal's link reads of a song in a second, sysex packing and page requests
// included (about 0.6 MB/s, as bench_device measures over the realistic link). Times told
// before a transfer are estimates at this pace; a write is taken to run as fast.
constexpr double kSongLinkBytesPerSecond = 600000;
// What moving one song by its record takes on a real pedal's link: the sums of its blocks
// for the journal, one record written, one info block erased and the target read again.
// bench_songs measures about 0.1 s for a 3-second song and 0.8 s for a 4-minute one ("move
// song seconds realistic link"), the sums growing with the song.
constexpr double kSongMoveSeconds = 0.5;
