// Feeds arbitrary bytes to the song import, through the WAV reader or libsndfile, and
// exports what it accepts, so the block-wise decoding and conversion run on hostile
// headers and sizes. The input's length picks the target and the loudness, so that every
// byte is the file's and real files seed the corpus as they are.
#include "audio/song_export.h"
#include "audio/song_import.h"

#include <QBuffer>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SSongTarget target;
    target.channels = (size & 1) ? 2 : 1;
    target.mono_mode = (size & 2) ? EMonoMode::MIX : EMonoMode::LEFT;
    // Normalising reads the file a second time, from a decoder of its own.
    target.loudness = (size & 4) ? ELoudnessTarget::LUFS_14 : ELoudnessTarget::AS_THE_FILE;
    // Small, so that a header announcing hours is refused and a stream stops early.
    target.max_bytes = 600000;
    QByteArray image(reinterpret_cast<const char*>(data), int(size));
    QBuffer buffer(&image);
    if (!buffer.open(QIODevice::ReadOnly))
        return 0;
    const SSongImport import = import_song(buffer, QStringLiteral("fuzz"), target, nullptr);
    if (import.result != ESongImportResult::OK)
        return 0;
    const size_t frame = 3u * target.channels;
    if (import.song.empty() || import.song.size() % frame != 0 || import.song.size() > target.max_bytes)
        __builtin_trap();

    QByteArray exported;
    QBuffer out(&exported);
    SSongAudioFormat format;
    format.channels = target.channels;
    if (!out.open(QIODevice::WriteOnly) ||
        export_song(import.song.data(), import.song.size(), format, out, nullptr) != ESongExportResult::OK)
        __builtin_trap();
    return 0;
}
