#include "audio/song_file_reader.h"

#include "audio/song_converter.h"
#include "audio/song_import_steps.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// The frames a resampler's output may differ by from the count its rates give.
constexpr uint64_t kResamplerSlackFrames = 16;
}  // namespace

CSongFileReader::~CSongFileReader() = default;

std::unique_ptr<CSongFileReader> CSongFileReader::open(const QString& path, const SSongTarget& target,
                                                       const SSongImport& checked, CLoudnessMeter* meter)
{
    std::unique_ptr<CSongFileReader> reader(new CSongFileReader);
    reader->m_file.setFileName(path);
    SSongImport scratch;
    if (checked.result != ESongImportResult::OK || !open_song_file(reader->m_file, scratch))
        return nullptr;
    reader->m_source = open_song_source(reader->m_file, scratch);
    if (!reader->m_source)
        return nullptr;
    SConversion conversion = song_conversion_for(target);
    // The check held the song to the slot; the conversion may run a block past its end.
    conversion.max_bytes = UINT64_MAX;
    conversion.meter = meter;
    if (checked.loudness_target != ELoudnessTarget::AS_THE_FILE) {
        conversion.full_precision = true;
        conversion.gain = std::pow(10.0, checked.gain.gain_db / 20);
        reader->m_slack = kResamplerSlackFrames * target.channels * kSongBytesPerSample;
    }
    reader->m_conversion = CSongConversion::start(*reader->m_source, conversion, nullptr);
    if (!reader->m_conversion)
        return nullptr;
    reader->m_length = checked.converted_bytes;
    return reader;
}

bool CSongFileReader::next(unsigned char* out, size_t count)
{
    if (count > m_length - m_handed)
        return false;
    size_t got = 0;
    if (m_conversion->read(out, count, got) != EConvertResult::OK)
        return false;
    m_handed += count;
    m_converted += got;
    if (got == count)
        return true;
    std::memset(out + got, 0, count - got);
    return m_length - m_converted <= m_slack;
}
