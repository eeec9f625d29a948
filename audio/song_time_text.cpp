#include "audio/song_time_text.h"
#include "audio/song_audio.h"
#include "support/units.h"

#include <cmath>

namespace {

uint64_t whole_seconds(double seconds)
{
    if (!(seconds > 0))
        return 0;
    return uint64_t(std::floor(std::round(seconds * 10) / 10));
}

}  // namespace

QString time_text(double seconds)
{
    const uint64_t whole = whole_seconds(seconds);
    const QChar zero('0');
    if (whole >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(whole / 3600)
            .arg(whole / 60 % 60, 2, 10, zero)
            .arg(whole % 60, 2, 10, zero);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, zero);
}

QString megabytes_text(uint64_t bytes)
{
    return QStringLiteral("%1 MB").arg(megabytes(bytes), 0, 'f', 1);
}

double song_seconds(uint64_t bytes, unsigned int channels)
{
    return channels ? double(bytes) / double(song_bytes_per_second(channels)) : 0.0;
}

QString song_duration_text(uint64_t bytes, unsigned int channels)
{
    return time_text(song_seconds(bytes, channels));
}

QString free_space_text(uint64_t free_bytes, unsigned int channels)
{
    return QStringLiteral("Free: %1 of %2 audio (%3)")
        .arg(song_duration_text(free_bytes, channels), channels >= 2 ? "stereo" : "mono",
             megabytes_text(free_bytes));
}

QString too_long_text(uint64_t slot_max_bytes, unsigned int channels, std::optional<double> file_seconds)
{
    const double slot = song_seconds(slot_max_bytes, channels);
    if (!file_seconds)
        return QStringLiteral("This slot holds at most %1; the file is longer.").arg(time_text(slot));
    // A file a fraction of a second too long would otherwise read as long as the slot.
    const double file = whole_seconds(*file_seconds) > whole_seconds(slot) ? *file_seconds : slot + 1;
    return QStringLiteral("This slot holds at most %1; the file is %2.")
        .arg(time_text(slot), time_text(file));
}

QString no_space_text(uint64_t free_bytes, uint64_t needed_bytes, unsigned int channels)
{
    return QStringLiteral("Free: %1 (%2); the song needs %3 (%4).")
        .arg(song_duration_text(free_bytes, channels), megabytes_text(free_bytes),
             song_duration_text(needed_bytes, channels), megabytes_text(needed_bytes));
}

QString play_time_text(uint64_t position, uint64_t frames, bool buffering)
{
    const QString text = QStringLiteral("%1 / %2").arg(time_text(double(position) / kSongSampleRate),
                                                       time_text(double(frames) / kSongSampleRate));
    return buffering ? text + QStringLiteral("  buffering") : text;
}
