#include "audio/song_export.h"
#include "audio/sample_layout.h"
#include "audio/song_audio.h"
#include "audio/song_converter.h"
#include "audio/wave_format.h"
#include "support/neat.h"

#include <QIODevice>
#include <algorithm>

namespace {

// The song bytes in memory, handed out as floating point.
class CSongSource final : public CAudioSource {
public:
    CSongSource(const unsigned char* song, size_t frames, const SSampleLayout& layout)
        : m_song(song), m_frames(frames), m_layout(layout)
    {
        m_info.sample_rate = layout.sampleRate;
        m_info.channels = layout.channels;
        m_info.frames = int64_t(frames);
        m_info.wide = true;
    }

    const SAudioSourceInfo& info() const override { return m_info; }
    int64_t read(int16_t*, size_t) override { return -1; }
    int64_t read(float* out, size_t frames) override
    {
        const size_t count = std::min(frames, m_frames - m_next);
        decode_frames(m_layout, m_song + m_next * m_layout.frameBytes, count, out);
        m_next += count;
        return int64_t(count);
    }
    QString error_text() const override { return {}; }

private:
    const unsigned char* m_song;
    size_t m_frames;
    size_t m_next = 0;
    SSampleLayout m_layout;
    SAudioSourceInfo m_info;
};

}  // namespace

const char* song_export_result_text(ESongExportResult result)
{
    switch (result) {
        case ESongExportResult::OK:
            return "Exported";
        case ESongExportResult::NOT_A_SONG:
            return "Not a song in the pedal's format";
        case ESongExportResult::CANCELLED:
            return "Cancelled";
        case ESongExportResult::WRITE_ERROR:
            return "The file could not be written";
        case ESongExportResult::RESAMPLER_ERROR:
            return "Resampler error";
    }
    return "";
}

ESongExportResult export_song(const unsigned char* song, size_t length, const SSongAudioFormat& format,
                              QIODevice& out, CTask* task)
{
    SWaveFormatex source_format;
    NEAT::get_wave_format_ex(uint16_t(format.channels), format.sample_rate, uint16_t(format.bits_per_sample),
                             source_format);
    const auto layout = sample_layout(source_format, WAVE_FORMAT_PCM);
    if (!song || format.bits_per_sample != 24 || format.channels == 0 || format.channels > 2 || !layout ||
        length < layout->frameBytes)
        return ESongExportResult::NOT_A_SONG;
    CSongSource source(song, length / layout->frameBytes, *layout);

    SWaveFormatex wave_format;
    NEAT::get_wave_format_ex(uint16_t(format.channels), kExportSampleRate, 24, wave_format);
    const qint64 start = out.pos();
    // Sizes of 0 until the sound is written: a file cut short does not claim to be whole.
    const auto header = wave_file_header(wave_format, 0);
    if (out.write(reinterpret_cast<const char*>(header.data()), qint64(header.size())) !=
        qint64(header.size()))
        return ESongExportResult::WRITE_ERROR;

    SConversion conversion;
    conversion.out_rate = kExportSampleRate;
    conversion.out_channels = format.channels;
    conversion.max_bytes = kWaveMaxDataLength;
    SConversionCounts counts;
    const EConvertResult result = convert_to_24bit(
        source, conversion, task,
        [&out](const unsigned char* bytes, size_t size) {
            return out.write(reinterpret_cast<const char*>(bytes), qint64(size)) == qint64(size);
        },
        counts);
    switch (result) {
        case EConvertResult::OK:
            break;
        case EConvertResult::CANCELLED:
            return ESongExportResult::CANCELLED;
        case EConvertResult::RESAMPLER_ERROR:
            return ESongExportResult::RESAMPLER_ERROR;
        case EConvertResult::TOO_LONG:
        case EConvertResult::READ_ERROR:
        case EConvertResult::WRITE_ERROR:
        case EConvertResult::NOT_FINITE:
            return ESongExportResult::WRITE_ERROR;
    }

    const qint64 pad = wave_pad_length(counts.bytes_out);
    if (out.write("\0", pad) != pad)
        return ESongExportResult::WRITE_ERROR;
    const auto sized = wave_file_header(wave_format, uint32_t(counts.bytes_out));
    const char* sized_bytes = reinterpret_cast<const char*>(sized.data());
    const qint64 end = out.pos();
    const bool complete = out.seek(start + 4) && out.write(sized_bytes + 4, 4) == 4 &&
                          out.seek(start + qint64(kWaveHeaderLength) - 4) &&
                          out.write(sized_bytes + kWaveHeaderLength - 4, 4) == 4 && out.seek(end);
    return complete ? ESongExportResult::OK : ESongExportResult::WRITE_ERROR;
}
