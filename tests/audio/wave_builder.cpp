#include "wave_builder.h"
#include "audio/wave.h"

#include <QFile>
#include <cstring>
#include <stdexcept>

Bytes le16(uint16_t value)
{
    return {uint8_t(value), uint8_t(value >> 8)};
}

Bytes le32(uint32_t value)
{
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes chunk(const std::string& id, const Bytes& body, uint32_t declared)
{
    Bytes bytes(id.begin(), id.end());
    bytes = concat({bytes, le32(declared), body});
    if (body.size() % 2)
        bytes.push_back(0);
    return bytes;
}

Bytes chunk(const std::string& id, const Bytes& body)
{
    return chunk(id, body, uint32_t(body.size()));
}

Bytes riff_wave(std::initializer_list<Bytes> chunks)
{
    Bytes body{'W', 'A', 'V', 'E'};
    for (const Bytes& part : chunks)
        body = concat({body, part});
    return concat({{'R', 'I', 'F', 'F'}, le32(uint32_t(body.size())), body});
}

Bytes format_body(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t blockAlign)
{
    return concat(
        {le16(tag), le16(channels), le32(rate), le32(rate * blockAlign), le16(blockAlign), le16(bits)});
}

Bytes format_body(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    return format_body(tag, channels, rate, bits, uint16_t(channels * bits / 8));
}

Bytes extensible_body(uint16_t subTag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    const Bytes guidTail = hex_bytes("00 00 00 00 10 00 80 00 00 AA 00 38 9B 71");
    return concat({format_body(WAVE_FORMAT_EXTENSIBLE, channels, rate, bits), le16(22), le16(bits), le32(0),
                   le16(subTag), guidTail});
}

Bytes read_file(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    const QByteArray all = file.readAll();
    return Bytes(all.begin(), all.end());
}

void write_file(const QString& path, const Bytes& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) != qint64(bytes.size()))
        throw std::runtime_error("cannot write " + path.toStdString());
}

Bytes frames_of(const CWave& wave)
{
    return Bytes(wave.GetBuffer(), wave.GetBuffer() + wave.GetBufferLength());
}

CWave pcm16_wave(unsigned int rate, const std::vector<std::vector<int16_t>>& channels)
{
    CWave wave;
    wave.BuildFormat(uint16_t(channels.size()), rate, 16);
    const size_t frames = channels.front().size();
    Bytes bytes;
    for (size_t i = 0; i < frames; ++i) {
        for (const auto& channel : channels) {
            const Bytes sample = le16(uint16_t(channel.at(i)));
            bytes.insert(bytes.end(), sample.begin(), sample.end());
        }
    }
    wave.SetBuffer(bytes.data(), unsigned(frames), true);
    return wave;
}
