#include "audio/song_import_text.h"

#include "audio/loudness_gain.h"
#include "audio/song_loudness.h"
#include "audio/song_time_text.h"

#include <QFileInfo>

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
        case ESongImportResult::BAD_RATE:
            return "Sample rate not supported";
    }
    return "";
}

QString cut_file_note(const SSongImport& import)
{
    if (!import.header_seconds || !import.file_seconds)
        return {};
    return QStringLiteral("The file ends at %1 of the %2 its header gives.")
        .arg(time_text(*import.file_seconds), time_text(*import.header_seconds));
}

QStringList song_import_notes(const SSongImport& import)
{
    QStringList notes;
    if (const QString cut = cut_file_note(import); !cut.isEmpty())
        notes << cut;
    if (import.clipped_samples > 0)
        notes << QStringLiteral("%1 samples beyond full scale were clipped.").arg(import.clipped_samples);
    if (import.gain.peak_limited)
        notes << QStringLiteral("reached %1; the peaks allow no more")
                     .arg(loudness_text(import.loudness.integrated_lufs));
    if (import.gain.gain_capped)
        notes << QStringLiteral("reached %1; the gain is limited to +%2 dB")
                     .arg(loudness_text(import.loudness.integrated_lufs))
                     .arg(kMostGain);
    if (import.gain.below_gate)
        notes << QStringLiteral("The song is below the loudness meter's gate (%1) and was left as it is.")
                     .arg(loudness_text(kLoudnessGate));
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
        case ESongImportResult::BAD_RATE:
            return QStringLiteral(
                       "%1 has a sample rate of %2 Hz. Tandora takes files of 1,000 to 768,000 Hz.")
                .arg(name)
                .arg(import.file_rate);
        case ESongImportResult::CANCELLED:
        case ESongImportResult::OK:
            break;
    }
    return song_import_result_text(import.result);
}
