#pragma once

// Song transfers over an emulated realistic USB-MIDI link; returns the number of failures.
int run_song_link_benchmarks();
