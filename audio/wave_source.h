#pragma once

#include "audio/audio_source.h"
#include "audio/sample_layout.h"
#include "audio/wave_reader.h"

#include <QIODevice>
#include <memory>
#include <vector>

// The sound of a RIFF/WAVE image, read from the data chunk a block at a time. The header
// is read as read_wave reads it, so the same files are accepted.
class CWaveSource final : public CAudioSource {
public:
    // The source, or nothing with `result` telling why the header was refused (or EMPTY
    // when the data chunk holds no whole frame).
    static std::unique_ptr<CWaveSource> open(QIODevice& device, EWaveReadResult& result);

    const SAudioSourceInfo& info() const override { return m_info; }
    int64_t read(int16_t* out, size_t frames) override;
    int64_t read(float* out, size_t frames) override;
    QString error_text() const override;

private:
    CWaveSource(QIODevice& device, const SWaveHeader& header, const SSampleLayout& layout);
    // Raw frames of the next block into m_raw; the count, or -1.
    int64_t next_block(size_t frames);

    QIODevice& m_device;
    SSampleLayout m_layout;
    SAudioSourceInfo m_info;
    qint64 m_position;
    qint64 m_end;  // device position past the data chunk; -1 when it runs to the end
    std::vector<unsigned char> m_raw;
    bool m_failed = false;
};
