#pragma once

// Song transfers over an emulated realistic USB-MIDI link; returns the number of failures.
int run_song_link_benchmarks();
// A song written to an emulated PULSE RING over RtMidi's JACK ports, paced as on USB, as
// tandora-pedal serves it; needs a running JACK server. Returns the number of failures.
int run_jack_song_benchmark();
