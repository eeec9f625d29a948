#include "audio/wave.h"
#include "audio/wave_reader.h"
#include "support/neat.h"

#include <QFile>

namespace {

// The reason of a refusal after "Wave file '<name>' ".
QString read_failure_reason(EWaveReadResult result, const SWaveFormatex& format)
{
    switch (result) {
        case EWaveReadResult::NO_RIFF:
            return QStringLiteral("RIFF not found");
        case EWaveReadResult::NO_FORMAT:
            return QStringLiteral("WAVEfmt not found");
        case EWaveReadResult::NO_DATA:
            return QStringLiteral("data segment not found");
        case EWaveReadResult::EMPTY:
            return QStringLiteral("holds no sound");
        case EWaveReadResult::OUT_OF_MEMORY:
            return QStringLiteral("is too large to load");
        case EWaveReadResult::UNSUPPORTED:
            return QString::asprintf("sample format not supported (format %u, %u channels, %u bits, %u Hz)",
                                     unsigned(format.wFormatTag), unsigned(format.nChannels),
                                     unsigned(format.wBitsPerSample), unsigned(format.nSamplesPerSec));
        case EWaveReadResult::OK:
            break;
    }
    return {};
}

// The name as the user typed it.
QString wave_file_text(const QFileDevice* file, const QString& reason)
{
    return QString("Wave file '%1' %2").arg(file->fileName(), reason);
}

}  // namespace

bool CWave::Load(const QString& path)
{
    QFile file;
    if (!NEAT::OpenFile(file, path, QIODevice::ReadOnly, &m_error))
        return false;
    const bool loaded = Load(&file);
    file.close();
    return loaded;
}

bool CWave::Load(QFile* file)
{
    SWaveFileContents contents;
    const EWaveReadResult result = read_wave(*file, contents);
    if (result != EWaveReadResult::OK) {
        m_error = wave_file_text(file, read_failure_reason(result, contents.format));
        return false;
    }
    m_error.clear();
    m_WaveFormat = contents.format;
    m_wSampleFormatTag = contents.sampleFormatTag;
    m_WaveBuffer.SetBuffer(contents.frames.release(), contents.frameCount, m_WaveFormat.nBlockAlign);
    return true;
}

bool CWave::Save(const QString& path)
{
    QFile file;
    if (!NEAT::OpenFile(file, path, QIODevice::WriteOnly | QIODevice::Truncate, &m_error))
        return false;
    const bool saved = Save(&file);
    file.close();
    return saved;
}

bool CWave::Save(QFileDevice* file)
{
    const uint32_t dataLength = GetBufferLength();
    // The record as held, except that an extensible one is written as its plain sub-format:
    // the file carries 18 bytes and so cannot hold the extension such a record announces.
    SWaveFormatex written = m_WaveFormat;
    if (written.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        written.wFormatTag = m_wSampleFormatTag;
        written.cbSize = 0;
    }
    const auto header = wave_file_header(written, dataLength);
    const char* headerBytes = reinterpret_cast<const char*>(header.data());
    constexpr qint64 headerLength = qint64(kWaveHeaderLength);

    const qint64 start = file->pos();
    const qint64 padLength = wave_pad_length(dataLength);
    bool complete = dataLength <= kWaveMaxDataLength;
    // The RIFF size goes in last, so a file cut short by a failed write does not claim
    // to be whole.
    complete = complete && file->write("RIFF\0\0\0\0", 8) == 8;
    complete = complete && file->write(headerBytes + 8, headerLength - 8) == headerLength - 8;
    if (dataLength > 0)
        complete =
            complete && file->write(reinterpret_cast<const char*>(GetBuffer()), dataLength) == dataLength;
    complete = complete && file->write("\0", padLength) == padLength;
    complete = complete && file->seek(start + 4) && file->write(headerBytes + 4, 4) == 4;
    complete = complete && file->seek(start + headerLength + dataLength + padLength) && file->flush();
    m_error = complete ? QString() : wave_file_text(file, QStringLiteral("could not be written"));
    return complete;
}
