#include "audio/adpcm.h"

#include <algorithm>

namespace {

constexpr int STEP_SIZES[89] = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int INDEX_ADJUST[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

// Coder and decoder share this step, so both sides reconstruct the same predictor.
struct SCodec {
    int predicted;
    int index;

    explicit SCodec(const adpcm_state& state)
        : predicted(state.valprev), index(std::clamp<int>(state.index, 0, 88))
    {
    }

    void apply(int code)
    {
        const int step = STEP_SIZES[index];
        int difference = step >> 3;
        if (code & 4)
            difference += step;
        if (code & 2)
            difference += step >> 1;
        if (code & 1)
            difference += step >> 2;
        predicted = std::clamp(code & 8 ? predicted - difference : predicted + difference, -32768, 32767);
        index = std::clamp(index + INDEX_ADJUST[code], 0, 88);
    }

    int encode(int sample)
    {
        int step = STEP_SIZES[index];
        int difference = sample - predicted;
        int code = 0;
        if (difference < 0) {
            code = 8;
            difference = -difference;
        }
        for (int bit = 4; bit > 0; bit >>= 1, step >>= 1) {
            if (difference >= step) {
                code |= bit;
                difference -= step;
            }
        }
        apply(code);
        return code;
    }

    void store(adpcm_state& state) const
    {
        state.valprev = int16_t(predicted);
        state.index = int8_t(index);
    }
};

}  // namespace

int adpcm_coder(const short* samples, int count, unsigned char* out, adpcm_state* state)
{
    if (count <= 0)
        return 0;
    SCodec codec(*state);
    int written = 0;
    for (int i = 0; i < count; i += 2) {
        const int high = codec.encode(samples[i]);
        const int low = codec.encode(samples[i + 1 < count ? i + 1 : i]);
        out[written++] = static_cast<unsigned char>((high << 4) | low);
    }
    codec.store(*state);
    return written;
}

int adpcm_decoder(const unsigned char* in, int byteCount, short* out, adpcm_state* state)
{
    if (byteCount <= 0)
        return 0;
    SCodec codec(*state);
    for (int i = 0; i < byteCount; ++i) {
        codec.apply(in[i] >> 4);
        out[2 * i] = short(codec.predicted);
        codec.apply(in[i] & 0x0F);
        out[2 * i + 1] = short(codec.predicted);
    }
    codec.store(*state);
    return 2 * byteCount;
}
