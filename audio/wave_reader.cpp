#include "audio/wave_reader.h"
#include "audio/sample_layout.h"
#include "support/little_endian.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace {

constexpr qint64 CHUNK_HEADER = 8;
// "fmt " body of WAVE_FORMAT_EXTENSIBLE: the 18-byte record, valid bits (2), channel
// mask (4) and the 16-byte sub-format GUID.
constexpr qint64 EXTENSIBLE_FORMAT = 40;
constexpr qint64 SUBFORMAT_OFFSET = 24;
// Bytes 2-15 shared by the GUIDs of every sub-format derived from a format tag.
constexpr uint8_t SUBFORMAT_SUFFIX[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                          0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr uint32_t UNKNOWN_LENGTH = 0xFFFFFFFF;

bool read_exactly(QIODevice& device, qint64 position, uint8_t* into, qint64 length)
{
    return device.seek(position) && device.read(reinterpret_cast<char*>(into), length) == length;
}

// The encoding tag of a format chunk body of `length` bytes (at most 40 held in `body`).
uint16_t sample_format_tag(const SWaveFormatex& format, const uint8_t* body, qint64 length)
{
    if (format.wFormatTag != WAVE_FORMAT_EXTENSIBLE)
        return format.wFormatTag;
    if (length < EXTENSIBLE_FORMAT || format.cbSize < EXTENSIBLE_FORMAT - 18)
        return 0;
    const uint8_t* guid = body + SUBFORMAT_OFFSET;
    if (std::memcmp(guid + 2, SUBFORMAT_SUFFIX, sizeof SUBFORMAT_SUFFIX) != 0)
        return 0;
    return uint16_t(LE::read16(guid));
}

struct SChunk {
    qint64 body = -1;   // position of the first byte after the header; -1 when absent
    qint64 length = 0;  // declared size, cut to the bytes present
};

}  // namespace

EWaveReadResult read_wave_header(QIODevice& device, SWaveHeader& header)
{
    const qint64 start = device.pos();
    const qint64 end = std::max(start, device.size());
    std::array<uint8_t, 12> head{};
    const bool headRead = read_exactly(device, start, head.data(), qint64(head.size()));
    if (!headRead || std::memcmp(head.data(), "RIFF", 4) != 0)
        return EWaveReadResult::NO_RIFF;
    if (std::memcmp(head.data() + 8, "WAVE", 4) != 0)
        return EWaveReadResult::NO_FORMAT;

    SChunk format, data;
    uint32_t dataDeclared = 0;
    uint8_t formatBody[EXTENSIBLE_FORMAT] = {};
    // Every step moves at least one chunk header forward, so the walk ends within the image.
    for (qint64 at = start + 12; at + CHUNK_HEADER <= end && (format.body < 0 || data.body < 0);) {
        uint8_t header[CHUNK_HEADER];
        if (!read_exactly(device, at, header, CHUNK_HEADER))
            break;
        const qint64 body = at + CHUNK_HEADER;
        const qint64 declared = LE::read32(header + 4);
        const SChunk chunk{body, std::min(declared, end - body)};
        if (format.body < 0 && std::memcmp(header, "fmt ", 4) == 0) {
            format = chunk;
            const qint64 taken = std::min(format.length, EXTENSIBLE_FORMAT);
            if (!read_exactly(device, body, formatBody, taken))
                return EWaveReadResult::NO_FORMAT;
        } else if (data.body < 0 && std::memcmp(header, "data", 4) == 0) {
            data = chunk;
            dataDeclared = uint32_t(declared);
        }
        at = body + declared + (declared & 1);
    }
    if (format.body < 0)
        return EWaveReadResult::NO_FORMAT;
    if (data.body < 0)
        return EWaveReadResult::NO_DATA;

    // A body shorter than 18 bytes leaves the missing fields zero.
    WaveFormatBytes record{};
    std::memcpy(record.data(), formatBody, size_t(std::min<qint64>(format.length, qint64(record.size()))));
    header.format = from_bytes(record);
    header.sampleFormatTag = sample_format_tag(header.format, formatBody, format.length);
    if (!sample_layout(header.format, header.sampleFormatTag))
        return EWaveReadResult::UNSUPPORTED;
    header.dataStart = data.body;
    header.dataLength = data.length;
    header.dataDeclared = dataDeclared;
    header.lengthUnknown = dataDeclared == UNKNOWN_LENGTH;
    return EWaveReadResult::OK;
}

EWaveReadResult read_wave(QIODevice& device, SWaveFileContents& contents)
{
    SWaveHeader header;
    const EWaveReadResult result = read_wave_header(device, header);
    if (result == EWaveReadResult::UNSUPPORTED)
        contents.format = header.format;
    if (result != EWaveReadResult::OK)
        return result;
    const SWaveFormatex& wave = header.format;

    const qint64 frames = header.dataLength / wave.nBlockAlign;
    if (frames == 0)
        return EWaveReadResult::EMPTY;
    const qint64 length = frames * wave.nBlockAlign;
    std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[size_t(length)]);
    if (!bytes)
        return EWaveReadResult::OUT_OF_MEMORY;
    if (!device.seek(header.dataStart))
        return EWaveReadResult::EMPTY;
    const qint64 got = std::max<qint64>(0, device.read(reinterpret_cast<char*>(bytes.get()), length));
    if (got / wave.nBlockAlign == 0)
        return EWaveReadResult::EMPTY;

    contents.format = wave;
    contents.sampleFormatTag = header.sampleFormatTag;
    contents.frames = std::move(bytes);
    contents.frameCount = unsigned(got / wave.nBlockAlign);
    return EWaveReadResult::OK;
}
