#pragma once

#include <cstdint>

// Running state of the IMA ADPCM codec, carried from one call to the next.
struct adpcm_state {
    int16_t valprev = 0;  // predicted sample
    int8_t index = 0;     // step-size table index, 0..88
};

// Encodes `count` 16-bit samples as 4-bit codes, two per byte, the earlier in the high
// nibble. Returns the bytes written, (count + 1) / 2; 0 for count <= 0. An odd count
// codes its last sample once more in the final low nibble, so a decoder of the bytes
// ends in the state stored back here. Reads exactly `count` samples.
int adpcm_coder(const short* samples, int count, unsigned char* out, adpcm_state* state);

// Decodes `byteCount` bytes into 2 x byteCount samples and returns that count; 0 for
// byteCount <= 0.
int adpcm_decoder(const unsigned char* in, int byteCount, short* out, adpcm_state* state);
