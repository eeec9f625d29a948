#pragma once

#include "audio/audio_source.h"

#include <QIODevice>
#include <memory>

typedef struct sf_private_tag SNDFILE;

// Every format libsndfile reads (AIFF, FLAC, OGG/Vorbis, Opus, MP3 and more), through the
// library's virtual I/O on a device that stays the caller's.
class CSndfileSource final : public CAudioSource {
public:
    // The source, or nothing with the library's reason in `why`.
    static std::unique_ptr<CSndfileSource> open(QIODevice& device, QString& why);
    ~CSndfileSource() override;
    CSndfileSource(const CSndfileSource&) = delete;
    CSndfileSource& operator=(const CSndfileSource&) = delete;

    const SAudioSourceInfo& info() const override { return m_info; }
    int64_t read(int16_t* out, size_t frames) override;
    int64_t read(float* out, size_t frames) override;
    QString error_text() const override;

private:
    CSndfileSource() = default;

    SNDFILE* m_file = nullptr;
    SAudioSourceInfo m_info;
};
