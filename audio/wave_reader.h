#pragma once

#include "audio/wave_format.h"

#include <QIODevice>
#include <cstdint>
#include <memory>

enum class EWaveReadResult {
    OK,
    NO_RIFF,      // no "RIFF" at the start
    NO_FORMAT,    // not a WAVE form, or no "fmt " chunk in it
    NO_DATA,      // no "data" chunk
    UNSUPPORTED,  // samples that cannot be decoded
    EMPTY,        // not one whole frame of sound
    OUT_OF_MEMORY,
};

// Where the sound of a WAVE image lies, from its header alone.
struct SWaveHeader {
    SWaveFormatex format;          // the first 18 bytes of the "fmt " chunk, as written
    uint16_t sampleFormatTag = 0;  // 1 or 3; for an extensible record, that of its sub-format
    qint64 dataStart = 0;          // device position of the first sample byte
    qint64 dataLength = 0;         // declared size of the "data" chunk, cut to the bytes present
    qint64 dataDeclared = 0;       // the size the "data" chunk declares
    // The size field holds 0xFFFFFFFF, as writers that cannot seek back (a pipe) leave it:
    // the sound runs to the end of the device.
    bool lengthUnknown = false;
};

struct SWaveFileContents {
    SWaveFormatex format;          // the first 18 bytes of the "fmt " chunk, as written
    uint16_t sampleFormatTag = 0;  // 1 or 3; for an extensible record, that of its sub-format
    std::unique_ptr<unsigned char[]> frames;
    unsigned int frameCount = 0;
};

// Reads a RIFF/WAVE image from the device's current position to its end. Chunks other
// than the first "fmt " and "data" are skipped, pad bytes included. A data chunk longer
// than what the device holds gives the whole frames present. Every size taken from the
// image is checked against the bytes that are really there, so no header field can make
// it read or allocate more. `contents` is filled on OK; on UNSUPPORTED
// only its format, to name what was refused.
[[nodiscard]] EWaveReadResult read_wave(QIODevice& device, SWaveFileContents& contents);

// The header part of read_wave: OK, NO_RIFF, NO_FORMAT, NO_DATA or UNSUPPORTED (with
// only `format` filled). Nothing of the data chunk is read.
[[nodiscard]] EWaveReadResult read_wave_header(QIODevice& device, SWaveHeader& header);
