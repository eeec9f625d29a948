#pragma once

#include "audio/song_audio.h"
#include "audio/song_import.h"

#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

class CAudioSource;
class CLoudnessMeter;
class CSongConversion;

// The second of an import's two readings (check_song_file is the first): the file converted
// again, a piece at a time, as a write to the pedal or a player takes it, with the gain the
// check chose. It hands out exactly the length the check found.
class CSongFileReader {
public:
    // Null when the file cannot be opened and decoded again. A `meter` (which must outlive
    // the reader) measures the song as it converts, as the check of a file imported as it
    // is did not.
    [[nodiscard]] static std::unique_ptr<CSongFileReader> open(const QString& path, const SSongTarget& target,
                                                               const SSongImport& checked,
                                                               CLoudnessMeter* meter = nullptr);
    ~CSongFileReader();
    CSongFileReader(const CSongFileReader&) = delete;
    CSongFileReader& operator=(const CSongFileReader&) = delete;

    [[nodiscard]] uint64_t length() const { return m_length; }
    // The song's next `count` bytes into `out`. False when the file fails, or no longer
    // makes the song the check found: more than a few frames short of it. A normalised
    // check takes its length from the frames, so the resampler's last frame or two may be
    // missing; they are silence.
    [[nodiscard]] bool next(unsigned char* out, size_t count);

private:
    CSongFileReader() = default;

    QFile m_file;
    std::unique_ptr<CAudioSource> m_source;
    std::unique_ptr<CSongConversion> m_conversion;
    uint64_t m_length = 0;
    uint64_t m_handed = 0;
    uint64_t m_converted = 0;
    uint64_t m_slack = 0;  // bytes of silence allowed at the end
};
