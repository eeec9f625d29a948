#include "audio/sndfile_source.h"

#include <sndfile.h>

namespace {

QIODevice& device_of(void* user)
{
    return *static_cast<QIODevice*>(user);
}

sf_count_t device_length(void* user)
{
    return device_of(user).size();
}

sf_count_t device_seek(sf_count_t offset, int whence, void* user)
{
    QIODevice& device = device_of(user);
    qint64 to = offset;
    if (whence == SEEK_CUR)
        to += device.pos();
    else if (whence == SEEK_END)
        to += device.size();
    if (to < 0 || !device.seek(to))
        return -1;
    return device.pos();
}

sf_count_t device_read(void* into, sf_count_t count, void* user)
{
    const qint64 got = device_of(user).read(static_cast<char*>(into), count);
    return got < 0 ? 0 : got;
}

sf_count_t device_write(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t device_tell(void* user)
{
    return device_of(user).pos();
}

// Subtypes whose samples fit 16 bits exactly; libsndfile hands out 8-bit ones shifted
// up by 8, as the WAV reader does.
bool is_narrow(int format)
{
    const int subtype = format & SF_FORMAT_SUBMASK;
    return subtype == SF_FORMAT_PCM_S8 || subtype == SF_FORMAT_PCM_U8 || subtype == SF_FORMAT_PCM_16;
}

}  // namespace

std::unique_ptr<CSndfileSource> CSndfileSource::open(QIODevice& device, QString& why)
{
    static SF_VIRTUAL_IO io = {device_length, device_seek, device_read, device_write, device_tell};
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &device);
    if (!file) {
        why = QString::fromUtf8(sf_strerror(nullptr));
        return nullptr;
    }
    std::unique_ptr<CSndfileSource> source(new CSndfileSource);
    source->m_file = file;
    if (info.channels <= 0 || info.samplerate <= 0) {
        why = QStringLiteral("no channels or no sample rate");
        return nullptr;
    }
    source->m_info.sample_rate = unsigned(info.samplerate);
    source->m_info.channels = unsigned(info.channels);
    // libsndfile reports an unknown length as SF_COUNT_MAX, or as 0 for a FLAC stream
    // header without a sample count; a truly empty file then simply ends at once.
    source->m_info.frames = (info.frames <= 0 || info.frames == SF_COUNT_MAX) ? -1 : info.frames;
    source->m_info.wide = !is_narrow(info.format);
    return source;
}

CSndfileSource::~CSndfileSource()
{
    if (m_file)
        sf_close(m_file);
}

int64_t CSndfileSource::read(int16_t* out, size_t frames)
{
    const sf_count_t got = sf_readf_short(m_file, out, sf_count_t(frames));
    return got == 0 && sf_error(m_file) != SF_ERR_NO_ERROR ? -1 : got;
}

int64_t CSndfileSource::read(float* out, size_t frames)
{
    const sf_count_t got = sf_readf_float(m_file, out, sf_count_t(frames));
    return got == 0 && sf_error(m_file) != SF_ERR_NO_ERROR ? -1 : got;
}

QString CSndfileSource::error_text() const
{
    return QString::fromUtf8(sf_strerror(m_file));
}
