#include "audio/wave.h"
#include "support/neat.h"

CWave::CWave()
{
    m_WaveFormat.wFormatTag = WAVE_FORMAT_PCM;
}

CWave::CWave(const CWave& other)
{
    *this = other;
}

CWave& CWave::operator=(const CWave& other)
{
    if (this == &other)
        return *this;
    m_WaveFormat = other.m_WaveFormat;
    m_wSampleFormatTag = other.m_wSampleFormatTag;
    m_error = other.m_error;
    const CWaveBuffer& source = other.m_WaveBuffer;
    m_WaveBuffer.SetNumSamples(source.GetNumSamples(), int(source.GetBytesPerSample()));
    m_WaveBuffer.CopyBuffer(source.GetBuffer(), source.GetNumSamples(), int(source.GetBytesPerSample()));
    return *this;
}

CWave::~CWave() = default;

void CWave::BuildFormat(unsigned short channels, unsigned int sampleRate, unsigned short bitsPerSample)
{
    NEAT::get_wave_format_ex(channels, sampleRate, bitsPerSample, m_WaveFormat);
    m_wSampleFormatTag = WAVE_FORMAT_PCM;
    m_WaveBuffer.Clear();
}

unsigned int CWave::GetBufferLength() const
{
    return GetNumSamples() * unsigned(m_WaveFormat.nBlockAlign);
}

void CWave::SetBuffer(void* bytes, unsigned int frames, bool copy)
{
    if (copy)
        m_WaveBuffer.CopyBuffer(bytes, frames, m_WaveFormat.nBlockAlign);
    else
        m_WaveBuffer.SetBuffer(bytes, frames, m_WaveFormat.nBlockAlign);
}

bool CWave::ResampleLinerAs46875Wav(int channels)
{
    return ResampleLiner(unsigned(channels), 46875, 24);
}

bool CWave::ResampleLinerAs48000Wav(int channels)
{
    return ResampleLiner(unsigned(channels), 48000, 24);
}
