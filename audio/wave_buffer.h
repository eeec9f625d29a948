#pragma once

#include <cstdint>

// Owner of interleaved sample frames. The block comes from array new and is freed here.
class CWaveBuffer {
public:
    CWaveBuffer() = default;
    virtual ~CWaveBuffer();
    CWaveBuffer(const CWaveBuffer&) = delete;
    CWaveBuffer& operator=(const CWaveBuffer&) = delete;

    unsigned char* GetBuffer() const { return m_pBuffer; }
    unsigned int GetNumSamples() const { return m_nNumSamples; }
    unsigned int GetBytesPerSample() const { return m_nBytesPerSample; }
    // frames x bytes per frame.
    uint64_t GetByteCount() const { return uint64_t(m_nNumSamples) * m_nBytesPerSample; }

    // Replaces the block with an uninitialised one of frames x bytesPerFrame bytes; no
    // block at all for 0 frames.
    void SetNumSamples(unsigned int frames, int bytesPerFrame);
    // Frees the held block and adopts `bytes`, which must come from array new.
    void SetBuffer(void* bytes, unsigned int frames, int bytesPerFrame);
    // An empty buffer is first sized to frames x bytesPerFrame; a held block keeps its
    // size and counts. The block is then zeroed and as much of `src` copied into it as
    // both sides hold. The caller keeps `src`.
    void CopyBuffer(const void* src, unsigned int frames, int bytesPerFrame);
    // Frees the block; zero frames.
    void Clear();

private:
    uint32_t m_nBytesPerSample = 0;
    unsigned char* m_pBuffer = nullptr;
    uint32_t m_nNumSamples = 0;
};
