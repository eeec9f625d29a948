#pragma once

// What a real pedal's link reads of a song in a second, sysex packing and page requests
// included (about 0.6 MB/s, as bench_device measures over the realistic link). Times told
// before a transfer are estimates at this pace; a write is taken to run as fast.
constexpr double kSongLinkBytesPerSecond = 600000;
