#include "audio/song_export.h"
#include "audio/song_import.h"
#include "audio/wave.h"
#include "signal_measure.h"
#include "song_test_kit.h"
#include "support/little_endian.h"
#include "support/task.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>

namespace {

// A pedal song of a 24-bit tone: 1000 Hz at 0.5, and 500 Hz on a second channel.
std::vector<unsigned char> tone_song(unsigned int channels, unsigned int frames)
{
    std::vector<unsigned char> song(size_t(frames) * channels * 3);
    unsigned char* at = song.data();
    for (unsigned int i = 0; i < frames; ++i)
        for (unsigned int c = 0; c < channels; ++c) {
            const double value = 0.5 * std::sin(2 * M_PI * (c ? 500 : 1000) * i / kSongSampleRate);
            at = LE::write24(at, uint32_t(int32_t(std::lround(value * 8388607))));
        }
    return song;
}

SSongAudioFormat pedal_format(unsigned int channels)
{
    SSongAudioFormat format;
    format.channels = channels;
    return format;
}

}  // namespace

class SongExport : public ::testing::TestWithParam<unsigned int> {};

TEST_P(SongExport, WritesA48000Hz24BitWaveOfTheSong)
{
    const unsigned int channels = GetParam();
    const std::vector<unsigned char> song = tone_song(channels, 46875);
    QTemporaryDir dir;
    QFile file(dir.path() + "/song.wav");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    CTask task;
    ASSERT_EQ(export_song(song.data(), song.size(), pedal_format(channels), file, &task),
              ESongExportResult::OK);
    file.close();
    EXPECT_EQ(task.progress().percent, 100);

    const Bytes image = read_file(file.fileName());
    CWave wave;
    ASSERT_TRUE(wave.Load(file.fileName()));
    EXPECT_EQ(wave.GetFormat().nSamplesPerSec, 48000u);
    EXPECT_EQ(wave.GetFormat().wBitsPerSample, 24);
    EXPECT_EQ(wave.GetFormat().nChannels, channels);
    EXPECT_NEAR(double(wave.GetNumSamples()), 48000.0, 2.0);
    EXPECT_EQ(image.size(), 46 + wave.GetBufferLength());
    EXPECT_EQ(LE::read32(image.data() + 4), image.size() - 8);
    for (unsigned int c = 0; c < channels; ++c) {
        const std::vector<double> samples = channel_of(wave, c);
        EXPECT_NEAR(frequency_of(samples, 48000), c ? 500 : 1000, 0.1);
        EXPECT_NEAR(amplitude_of(samples), 0.5, 0.001);
    }
}

INSTANTIATE_TEST_SUITE_P(MonoAndStereo, SongExport, ::testing::Values(1u, 2u));

TEST(SongExportFailure, RefusesOtherFormatsAndStopsOnWriteErrorOrCancel)
{
    const std::vector<unsigned char> song = tone_song(1, 40000);
    QByteArray image;
    QBuffer buffer(&image);
    ASSERT_TRUE(buffer.open(QIODevice::ReadWrite));
    SSongAudioFormat sixteen = pedal_format(1);
    sixteen.bits_per_sample = 16;
    EXPECT_EQ(export_song(song.data(), song.size(), sixteen, buffer, nullptr), ESongExportResult::NOT_A_SONG);
    EXPECT_EQ(export_song(song.data(), 2, pedal_format(1), buffer, nullptr), ESongExportResult::NOT_A_SONG);
    CTask task;
    task.cancel();
    EXPECT_EQ(export_song(song.data(), song.size(), pedal_format(1), buffer, &task),
              ESongExportResult::CANCELLED);

    QBuffer read_only(&image);
    ASSERT_TRUE(read_only.open(QIODevice::ReadOnly));
    EXPECT_EQ(export_song(song.data(), song.size(), pedal_format(1), read_only, nullptr),
              ESongExportResult::WRITE_ERROR);
}

// sox's dithered 24-bit tone at -60 dBFS through import and export: the 16-bit path would
// bury it under 16-bit quantisation; full precision keeps its noise floor.
TEST(SongRoundTrip, KeepsTheNoiseFloorOfA24BitTone)
{
    CWave source;
    ASSERT_TRUE(source.Load(fixture("tone_s24_minus60.wav")));
    const double source_thd_n = thd_n_db(channel_of(source, 0), 44100, 997);

    const SSongImport import = import_song(fixture("tone_s24_minus60.wav"), song_target(1), nullptr);
    ASSERT_EQ(import.result, ESongImportResult::OK);
    QTemporaryDir dir;
    QFile file(dir.path() + "/round.wav");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(export_song(import.song.data(), import.song.size(), pedal_format(1), file, nullptr),
              ESongExportResult::OK);
    file.close();
    CWave round;
    ASSERT_TRUE(round.Load(file.fileName()));
    const double round_thd_n = thd_n_db(channel_of(round, 0), 48000, 997);
    EXPECT_LT(round_thd_n, -75.0);
    EXPECT_NEAR(round_thd_n, source_thd_n, 5.0);
}

namespace {

// What `program` prints for `arguments`; fails the test unless it exits with 0.
QByteArray tool_output(const QString& program, const QStringList& arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    EXPECT_TRUE(tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit &&
                tool.exitCode() == 0)
        << program.toStdString() << ": " << tool.readAllStandardError().toStdString();
    return tool.readAllStandardOutput();
}

}  // namespace

// Both writers on an odd data chunk. libsndfile 1.2 notes every odd data chunk with "***",
// pad byte or none; any other note, a RIFF size it finds wrong among them, is a fault.
TEST(OddWave, IsPaddedWithCbSizeZeroAndReadsBackInOtherTools)
{
    QTemporaryDir dir;
    CWave saved;
    saved.BuildFormat(1, kExportSampleRate, 24);
    Bytes frames(9 * 3, 0x40);
    saved.SetBuffer(frames.data(), 9, true);
    ASSERT_TRUE(saved.Save(dir.path() + "/saved.wav"));
    const std::vector<unsigned char> song = tone_song(1, 1001);
    QFile exported(dir.path() + "/exported.wav");
    ASSERT_TRUE(exported.open(QIODevice::WriteOnly));
    ASSERT_EQ(export_song(song.data(), song.size(), pedal_format(1), exported, nullptr),
              ESongExportResult::OK);
    exported.close();
    for (const QString& path : {dir.path() + "/saved.wav", exported.fileName()}) {
        SCOPED_TRACE(path.toStdString());
        const Bytes image = read_file(path);
        ASSERT_GT(image.size(), 46u);
        const uint32_t data_length = LE::read32(image.data() + 42);
        ASSERT_EQ(data_length % 2, 1u);
        EXPECT_EQ(image.size(), 46 + data_length + 1);
        EXPECT_EQ(image.back(), 0);
        EXPECT_EQ(LE::read32(image.data() + 4), image.size() - 8);
        EXPECT_EQ(LE::read16(image.data() + 36), 0) << "cbSize";
        SF_INFO info{};
        SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
        ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
        char log[4096] = {};
        sf_command(file, SFC_GET_LOG_INFO, log, sizeof log);
        sf_close(file);
        EXPECT_EQ(info.frames, data_length / 3);
        for (const QString& line : QString::fromLatin1(log).split('\n'))
            EXPECT_TRUE((!line.contains("***") && !line.contains("should be")) ||
                        line.contains("even number"))
                << line.toStdString();
        const QByteArray data(reinterpret_cast<const char*>(image.data()) + 46, int(data_length));
        EXPECT_EQ(tool_output("sox", {path, "-t", "raw", "-e", "signed", "-b", "24", "-L", "-"}), data);
        EXPECT_EQ(tool_output("ffmpeg", {"-v", "error", "-i", path, "-f", "s24le", "-"}), data);
    }
}
