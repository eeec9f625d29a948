#pragma once

// What a real pedal's link reads of a song in a second, sysex packing and page requests
// included (about 0.6 MB/s, as bench_device measures over the realistic link). Times told
// before a transfer are estimates at this pace; a write is taken to run as fast.
constexpr double kSongLinkBytesPerSecond = 600000;
// What moving one song by its record takes on a real pedal's link: the source's record and
// block sums read, one record written, one info block erased and the target read again
// (bench_songs' "move song seconds realistic link").
constexpr double kSongMoveSeconds = 0.5;
