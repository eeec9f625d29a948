#include "audio/song_import.h"
#include "audio/sndfile_source.h"
#include "audio/song_converter.h"
#include "audio/song_time_text.h"
#include "audio/wave_source.h"
#include "support/log_file.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <exception>

const char* const kAudioFileFilter = "Audio Files (*.wav *.aif *.aiff *.flac *.ogg *.opus *.mp3)";
const char* const kWavFileFilter = "Wav Files(*.wav)";

namespace {

// Slots hold far less; a caller without a limit still gets a block that can grow.
constexpr uint64_t kLargestReserve = uint64_t{1} << 30;

// The WAV reader's own reasons, for the log.
const char* wave_refusal_text(EWaveReadResult result)
{
    switch (result) {
        case EWaveReadResult::NO_RIFF:
            return "RIFF not found";
        case EWaveReadResult::NO_FORMAT:
            return "WAVEfmt not found";
        case EWaveReadResult::NO_DATA:
            return "data segment not found";
        case EWaveReadResult::UNSUPPORTED:
            return "sample format not supported";
        case EWaveReadResult::EMPTY:
            return "no whole frame of sound";
        case EWaveReadResult::OUT_OF_MEMORY:
            return "out of memory";
        case EWaveReadResult::OK:
            break;
    }
    return "";
}

// RIFF/WAVE is told apart by content, whatever the file is called.
bool is_riff_wave(QIODevice& device)
{
    const qint64 start = device.pos();
    const QByteArray head = device.peek(12);
    const bool wave = head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
    return device.seek(start) && wave;
}

std::unique_ptr<CAudioSource> open_source(QIODevice& device, SSongImport& import)
{
    if (is_riff_wave(device)) {
        EWaveReadResult result = EWaveReadResult::OK;
        std::unique_ptr<CWaveSource> source = CWaveSource::open(device, result);
        if (!source) {
            import.result =
                result == EWaveReadResult::EMPTY ? ESongImportResult::NO_SOUND : ESongImportResult::NOT_AUDIO;
            import.detail = QStringLiteral("WAV reader: %1").arg(wave_refusal_text(result));
        }
        return source;
    }
    QString why;
    std::unique_ptr<CSndfileSource> source = CSndfileSource::open(device, why);
    if (!source) {
        import.result = ESongImportResult::NOT_AUDIO;
        import.detail = QStringLiteral("libsndfile: %1").arg(why);
    }
    return source;
}

void convert(CAudioSource& source, const SSongTarget& target, CTask* task, SSongImport& import)
{
    const SAudioSourceInfo& info = source.info();
    const uint64_t frame_bytes = uint64_t{target.channels} * kSongBytesPerSample;
    if (info.frames >= 0) {
        import.file_seconds = double(info.frames) / info.sample_rate;
        import.converted_bytes =
            converted_frames(uint64_t(info.frames), info.sample_rate, kSongSampleRate) * frame_bytes;
        if (import.converted_bytes > target.max_bytes) {
            import.result = ESongImportResult::TOO_LONG;
            import.detail = QStringLiteral("%1 song bytes, the slot holds %2")
                                .arg(import.converted_bytes)
                                .arg(target.max_bytes);
            return;
        }
    }

    // Room for the whole song at once, so the block never moves while it grows. Pages
    // are only taken as they are written: a maximum reserved for a file of unknown
    // length costs no memory it does not use.
    const uint64_t expected = info.frames >= 0 ? import.converted_bytes + 64 * frame_bytes : target.max_bytes;
    try {
        import.song.reserve(size_t(std::min({expected, target.max_bytes, kLargestReserve})));
    } catch (const std::exception&) {
        import.result = ESongImportResult::OUT_OF_MEMORY;
        import.detail = QStringLiteral("%1 bytes for the song").arg(expected);
        return;
    }

    SConversion conversion;
    conversion.out_channels = target.channels;
    conversion.mono_mode = target.mono_mode;
    conversion.max_bytes = target.max_bytes;
    SConversionCounts counts;
    std::vector<unsigned char>& song = import.song;
    bool out_of_memory = false;
    const EConvertResult result = convert_to_24bit(
        source, conversion, task,
        [&song, &out_of_memory](const unsigned char* bytes, size_t length) {
            // Only past the reservation, when a header gave too short a length.
            try {
                song.insert(song.end(), bytes, bytes + length);
            } catch (const std::exception&) {
                out_of_memory = true;
            }
            return !out_of_memory;
        },
        counts);
    import.frames_decoded = counts.frames_read;
    import.converted_bytes = counts.bytes_out;
    switch (result) {
        case EConvertResult::OK:
            import.result = song.empty() ? ESongImportResult::NO_SOUND : ESongImportResult::OK;
            if (std::max(info.frames, info.promised_frames) > int64_t(counts.frames_read))
                import.header_seconds =
                    double(std::max(info.frames, info.promised_frames)) / info.sample_rate;
            import.file_seconds = double(counts.frames_read) / info.sample_rate;
            import.clipped_samples = counts.clipped_samples;
            break;
        case EConvertResult::NOT_FINITE:
            import.result = ESongImportResult::NOT_FINITE;
            import.not_finite_seconds = double(counts.not_finite_frame) / info.sample_rate;
            import.detail = QStringLiteral("NaN or infinity in frame %1").arg(counts.not_finite_frame);
            break;
        case EConvertResult::TOO_LONG:
            import.result = ESongImportResult::TOO_LONG;
            import.detail = QStringLiteral("more than the slot's %1 song bytes after %2 frames")
                                .arg(target.max_bytes)
                                .arg(counts.frames_read);
            break;
        case EConvertResult::CANCELLED:
            import.result = ESongImportResult::CANCELLED;
            break;
        case EConvertResult::WRITE_ERROR:
            if (out_of_memory) {
                import.result = ESongImportResult::OUT_OF_MEMORY;
                import.detail = QStringLiteral("%1 bytes for the song").arg(song.size());
                break;
            }
            [[fallthrough]];
        case EConvertResult::READ_ERROR:
        case EConvertResult::RESAMPLER_ERROR:
            import.result = ESongImportResult::READ_ERROR;
            import.detail = QStringLiteral("%1 after %2 frames: %3")
                                .arg(convert_result_text(result))
                                .arg(counts.frames_read)
                                .arg(source.error_text());
            break;
    }
    if (import.result != ESongImportResult::OK)
        std::vector<unsigned char>().swap(song);
}

}  // namespace

const char* song_import_result_text(ESongImportResult result)
{
    switch (result) {
        case ESongImportResult::OK:
            return "Imported";
        case ESongImportResult::NOT_AUDIO:
            return "Not an audio file";
        case ESongImportResult::NO_SOUND:
            return "No sound in the file";
        case ESongImportResult::TOO_LONG:
            return "File too large!";
        case ESongImportResult::CANCELLED:
            return "Cancelled";
        case ESongImportResult::READ_ERROR:
            return "Read error";
        case ESongImportResult::OUT_OF_MEMORY:
            return "Out of memory";
        case ESongImportResult::NOT_FINITE:
            return "Sample not a number";
    }
    return "";
}

SSongImport import_song(QIODevice& device, const QString& name, const SSongTarget& target, CTask* task)
{
    SSongImport import;
    if (target.channels != 1 && target.channels != 2) {
        import.result = ESongImportResult::NOT_AUDIO;
        import.detail = QStringLiteral("songs of %1 channels are not made").arg(target.channels);
    } else if (std::unique_ptr<CAudioSource> source = open_source(device, import)) {
        convert(*source, target, task, import);
    }
    if (import.result != ESongImportResult::OK && import.result != ESongImportResult::CANCELLED)
        CLogFile::get_instance()->log(LOG_LEVEL_WARNING, "Import of '%s': %s (%s)", qUtf8Printable(name),
                                      song_import_result_text(import.result), qUtf8Printable(import.detail));
    return import;
}

SSongImport import_song(const QString& path, const SSongTarget& target, CTask* task)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        SSongImport import;
        import.result = ESongImportResult::READ_ERROR;
        import.detail = file.errorString();
        CLogFile::get_instance()->log(LOG_LEVEL_WARNING, "Import of '%s': %s", qUtf8Printable(path),
                                      qUtf8Printable(import.detail));
        return import;
    }
    return import_song(file, path, target, task);
}

QStringList song_import_notes(const SSongImport& import)
{
    QStringList notes;
    if (import.header_seconds && import.file_seconds)
        notes << QStringLiteral("The file ends at %1 of the %2 its header gives.")
                     .arg(time_text(*import.file_seconds), time_text(*import.header_seconds));
    if (import.clipped_samples > 0)
        notes << QStringLiteral("%1 samples beyond full scale were clipped.").arg(import.clipped_samples);
    return notes;
}

QString song_import_message(const SSongImport& import, const QString& path, const SSongTarget& target)
{
    const QString name = QFileInfo(path).fileName();
    switch (import.result) {
        case ESongImportResult::NOT_AUDIO:
            return QStringLiteral(
                       "%1 is not an audio file Tandora can read. "
                       "Tandora reads WAV, AIFF, FLAC, OGG, Opus and MP3 files.")
                .arg(name);
        case ESongImportResult::NO_SOUND:
            return QStringLiteral("%1 holds no sound.").arg(name);
        case ESongImportResult::TOO_LONG:
            return QStringLiteral("%1\n%2").arg(
                song_import_result_text(import.result),
                too_long_text(target.max_bytes, target.channels, import.file_seconds));
        case ESongImportResult::READ_ERROR:
            return QStringLiteral("Tandora could not read %1.").arg(name);
        case ESongImportResult::OUT_OF_MEMORY:
            return QStringLiteral("There is not enough memory to convert %1.").arg(name);
        case ESongImportResult::NOT_FINITE:
            return QStringLiteral("%1 holds a sample that is not a number (NaN or infinity) at %2.")
                .arg(name, time_text(import.not_finite_seconds));
        case ESongImportResult::CANCELLED:
        case ESongImportResult::OK:
            break;
    }
    return song_import_result_text(import.result);
}
