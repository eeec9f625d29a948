#include "audio/wave_buffer.h"

#include <algorithm>
#include <cstring>

CWaveBuffer::~CWaveBuffer()
{
    delete[] m_pBuffer;
}

void CWaveBuffer::SetNumSamples(unsigned int frames, int bytesPerFrame)
{
    const uint64_t length = uint64_t(frames) * uint32_t(bytesPerFrame);
    SetBuffer(length ? new unsigned char[length] : nullptr, frames, bytesPerFrame);
}

void CWaveBuffer::SetBuffer(void* bytes, unsigned int frames, int bytesPerFrame)
{
    unsigned char* adopted = static_cast<unsigned char*>(bytes);
    if (adopted != m_pBuffer)
        delete[] m_pBuffer;
    m_pBuffer = adopted;
    m_nNumSamples = frames;
    m_nBytesPerSample = uint32_t(bytesPerFrame);
}

void CWaveBuffer::CopyBuffer(const void* src, unsigned int frames, int bytesPerFrame)
{
    if (!m_pBuffer)
        SetNumSamples(frames, bytesPerFrame);
    // Bounded by both sides' bytes, so a source of wider frames cannot overrun the block.
    const uint64_t held = GetByteCount();
    const uint64_t copied = std::min(held, uint64_t(frames) * uint32_t(bytesPerFrame));
    if (copied == 0)
        return;
    std::memcpy(m_pBuffer, src, copied);
    std::memset(m_pBuffer + copied, 0, held - copied);
}

void CWaveBuffer::Clear()
{
    SetBuffer(nullptr, 0, 0);
}
