#pragma once

#include "audio/wave_buffer.h"
#include "audio/wave_format.h"

#include <QString>
#include <cstdint>

class QFile;
class QFileDevice;

// The program's audio object: a format record and the interleaved frames in that format.
// Invariant: the buffer holds GetNumSamples() x nBlockAlign bytes.
class CWave {
public:
    CWave();
    CWave(const CWave& other);
    CWave& operator=(const CWave& other);
    virtual ~CWave();

    // Integer PCM format from the three values; the frames are dropped.
    void BuildFormat(unsigned short channels, unsigned int sampleRate, unsigned short bitsPerSample);

    unsigned int GetNumSamples() const { return m_WaveBuffer.GetNumSamples(); }
    unsigned char* GetBuffer() const { return m_WaveBuffer.GetBuffer(); }
    // frames x nBlockAlign bytes.
    unsigned int GetBufferLength() const;
    const SWaveFormatex& GetFormat() const { return m_WaveFormat; }
    // How the samples are encoded: wFormatTag, or for an extensible record the tag of its
    // sub-format (1 integer PCM, 3 IEEE float).
    uint16_t GetSampleFormatTag() const { return m_wSampleFormatTag; }

    // `frames` frames of the current nBlockAlign. copy false adopts `bytes` (array new,
    // ownership passes); copy true copies them as CWaveBuffer::CopyBuffer does.
    void SetBuffer(void* bytes, unsigned int frames, bool copy);

    // A RIFF/WAVE file of integer PCM (8, 16, 24, 32 bit) or IEEE float (32, 64 bit),
    // plain or extensible, any channel count. A failure leaves the sound unchanged and
    // says why in error_text().
    [[nodiscard]] bool Load(const QString& path);
    // Reads from the file's current position.
    [[nodiscard]] bool Load(QFile* file);
    // Writes "RIFF", "WAVEfmt " with an 18-byte format chunk, then "data". False, with
    // error_text() set, when the file could not be opened or written whole.
    [[nodiscard]] bool Save(const QString& path);
    // Any file device: a QSaveFile replaces the target only once the whole file is written.
    [[nodiscard]] bool Save(QFileDevice* file);
    // Why the last Load or Save failed, naming the file; empty after a success.
    QString error_text() const { return m_error; }

    // Converts the frames in place to the integer PCM format built from the three values.
    // Every channel passes through 16-bit precision; a one-channel target takes the first
    // source channel, a second target channel takes the second source channel or, from a
    // mono source, the first again; further target channels are silent. Returns false,
    // leaving the target format with no frames, when the source cannot be converted
    // (unknown layout, unsupported target depth, size beyond 4 GiB, out of memory).
    // Nothing is done, successfully, without frames or when the format already matches.
    bool ResampleLiner(unsigned int channels, unsigned int sampleRate, unsigned int bitsPerSample);
    // 46875 Hz, 24 bits: the pedal's song format.
    bool ResampleLinerAs46875Wav(int channels);
    // 48000 Hz, 24 bits: the format of exported songs.
    bool ResampleLinerAs48000Wav(int channels);
    // Resamples one source channel (the first, or the second when firstChannel is false and
    // the source has one) into the first channel slot of `target` frames starting at `out`,
    // writing at most capacityFrames frames. Returns the position past the last frame
    // written, `out` itself when nothing could be produced.
    unsigned char* ResampleCh(bool firstChannel, const SWaveFormatex& target, unsigned char* out,
                              unsigned int capacityFrames);

    // Decodes a plain IMA ADPCM stream (high nibble first, from predictor 0 and index 0)
    // into 16-bit samples held as the integer PCM format built from the three values.
    // False, leaving the object unchanged, when that format has no whole frame size.
    [[nodiscard]] bool LoadFromADPCM(unsigned char* data, unsigned int byteCount, unsigned int channels,
                                     unsigned int sampleRate, unsigned int bitsPerSample);
    // Encodes every 16-bit sample of the buffer, channels interleaved, into a block of
    // array new that the caller owns. False, with the outputs untouched, unless the
    // samples are 16-bit.
    [[nodiscard]] bool SaveAsADPCM(unsigned char*& out, unsigned int& outLength);

private:
    // ResampleCh that, with lastUseOfSource, frees the held frames once they are read.
    unsigned char* resample_channel(bool firstChannel, const SWaveFormatex& target, unsigned char* out,
                                    unsigned int capacityFrames, bool lastUseOfSource);

    CWaveBuffer m_WaveBuffer;
    SWaveFormatex m_WaveFormat;
    uint16_t m_wSampleFormatTag = WAVE_FORMAT_PCM;
    QString m_error;
};
