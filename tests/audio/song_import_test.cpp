#include "audio/song_import.h"
#include "audio/song_import_text.h"
#include "audio/song_time_text.h"
#include "signal_measure.h"
#include "song_test_kit.h"
#include "support/task.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>

namespace {

SSongImport import_bytes(const Bytes& bytes, const SSongTarget& target, CTask* task = nullptr)
{
    QByteArray image(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
    QBuffer buffer(&image);
    buffer.open(QIODevice::ReadOnly);
    return import_song(buffer, QStringLiteral("memory"), target, task);
}

// An AIFF file of 16-bit stereo frames at 1 Hz, the rate as its 80-bit extended number
// (exponent 0x3FFF, mantissa 1.0), with 4 frames of sound.
Bytes one_hertz_aiff()
{
    const Bytes comm = {'C', 'O', 'M', 'M',  0,    0,    0, 18, 0, 2, 0, 0, 0,
                        4,   0,   16,  0x3F, 0xFF, 0x80, 0, 0,  0, 0, 0, 0, 0};
    const Bytes ssnd = concat({{'S', 'S', 'N', 'D', 0, 0, 0, 24}, Bytes(24, 0x20)});
    const auto size = static_cast<uint8_t>(4 + comm.size() + ssnd.size());
    return concat({{'F', 'O', 'R', 'M', 0, 0, 0, size, 'A', 'I', 'F', 'F'}, comm, ssnd});
}

}  // namespace

// Each format the import reads: a second of tone, converted with the right length and level.
struct SSongFormatCase {
    const char* file;
    double seconds;
    // Lossy codecs add or trim a few milliseconds and move the level a little.
    double frame_tolerance;
    double level_tolerance_db;
    double left_hz, left_amplitude, right_hz, right_amplitude;
};

class SongFormats : public ::testing::TestWithParam<SSongFormatCase> {};

TEST_P(SongFormats, ConvertToStereoSongWithLengthAndLevel)
{
    const SSongFormatCase& c = GetParam();
    const SSongImport import = import_song(fixture(c.file), song_target(2), nullptr);
    ASSERT_EQ(import.result, ESongImportResult::OK) << import.detail.toStdString();
    EXPECT_NEAR(double(import.song.size()) / 6, c.seconds * kSongSampleRate, c.frame_tolerance);
    EXPECT_EQ(import.converted_bytes, import.song.size());
    ASSERT_TRUE(import.file_seconds);
    EXPECT_NEAR(*import.file_seconds, c.seconds, c.frame_tolerance / kSongSampleRate + 0.05);

    const CWave wave = song_wave(import.song, 2);
    const struct {
        unsigned int channel;
        double hz, amplitude;
    } expected[] = {{0, c.left_hz, c.left_amplitude}, {1, c.right_hz, c.right_amplitude}};
    for (const auto& e : expected) {
        const std::vector<double> samples = channel_of(wave, e.channel);
        EXPECT_NEAR(frequency_of(samples, kSongSampleRate), e.hz, e.hz * 1e-3) << "channel " << e.channel;
        EXPECT_NEAR(decibels(amplitude_of(samples) / e.amplitude), 0.0, c.level_tolerance_db)
            << "channel " << e.channel;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, SongFormats,
    ::testing::Values(SSongFormatCase{"sox_s16_stereo.wav", 0.1, 2, 0.05, 1000, 0.5, 500, 0.5},
                      SSongFormatCase{"tone_piped.wav", 1, 2, 0.05, 1000, 0.5, 1000, 0.5},
                      SSongFormatCase{"tone_s16_stereo.aiff", 1, 2, 0.05, 1000, 0.5, 500, 0.5},
                      SSongFormatCase{"tone_s24_mono.flac", 1, 2, 0.05, 1000, 0.5, 1000, 0.5},
                      SSongFormatCase{"tone_piped.flac", 1, 2, 0.05, 1000, 0.5, 1000, 0.5},
                      SSongFormatCase{"tone_stereo.ogg", 1, 50, 0.5, 1000, 0.5, 500, 0.5},
                      SSongFormatCase{"tone_mono.opus", 1, 50, 0.5, 1000, 0.5, 1000, 0.5},
                      SSongFormatCase{"tone_mono.mp3", 1, 50, 0.5, 1000, 0.5, 1000, 0.5},
                      SSongFormatCase{"tone_mono_no_length.mp3", 1, 2500, 0.5, 1000, 0.5, 1000, 0.5}),
    [](const auto& info) {
        std::string name = info.param.file;
        for (char& c : name)
            if (c == '.')
                c = '_';
        return name;
    });

// What the user reads when a file is refused, and that nothing reaches the song.
struct SSongRefusalCase {
    const char* name;
    Bytes content;
    ESongImportResult result;
    const char* message;
};

class SongRefusals : public ::testing::TestWithParam<SSongRefusalCase> {};

TEST_P(SongRefusals, SayWhyInWordsAndConvertNothing)
{
    const SSongRefusalCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.path() + "/" + c.name;
    write_file(path, c.content);
    const SSongImport import = import_song(path, song_target(1), nullptr);
    EXPECT_EQ(import.result, c.result) << import.detail.toStdString();
    EXPECT_TRUE(import.song.empty());
    EXPECT_EQ(import.frames_decoded, 0u);
    EXPECT_FALSE(import.detail.isEmpty());
    EXPECT_EQ(song_import_message(import, path, song_target(1)).toStdString(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SongRefusals,
    ::testing::Values(
        SSongRefusalCase{"notes.txt", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, ESongImportResult::NOT_AUDIO,
                         "notes.txt is not an audio file Tandora can read. Tandora reads WAV, AIFF, FLAC, "
                         "OGG, Opus and MP3 files."},
        SSongRefusalCase{"empty.mp3", Bytes{}, ESongImportResult::NOT_AUDIO,
                         "empty.mp3 is not an audio file Tandora can read. Tandora reads WAV, AIFF, FLAC, "
                         "OGG, Opus and MP3 files."},
        SSongRefusalCase{"video.wav", concat({{'R', 'I', 'F', 'F'}, le32(4), {'A', 'V', 'I', ' '}}),
                         ESongImportResult::NOT_AUDIO,
                         "video.wav is not an audio file Tandora can read. Tandora reads WAV, AIFF, FLAC, "
                         "OGG, Opus and MP3 files."},
        SSongRefusalCase{"no_data.wav", riff_wave({chunk("fmt ", format_body(1, 1, 44100, 16))}),
                         ESongImportResult::NOT_AUDIO,
                         "no_data.wav is not an audio file Tandora can read. Tandora reads WAV, AIFF, FLAC, "
                         "OGG, Opus and MP3 files."},
        SSongRefusalCase{
            "adpcm.wav",
            riff_wave({chunk("fmt ", format_body(2, 1, 44100, 4, 256)), chunk("data", Bytes(512))}),
            ESongImportResult::NOT_AUDIO,
            "adpcm.wav is not an audio file Tandora can read. Tandora reads WAV, AIFF, FLAC, OGG, Opus and "
            "MP3 files."},
        SSongRefusalCase{"silence.wav",
                         riff_wave({chunk("fmt ", format_body(1, 2, 44100, 16)), chunk("data", Bytes(3))}),
                         ESongImportResult::NO_SOUND, "silence.wav holds no sound."},
        SSongRefusalCase{"slow.aiff", one_hertz_aiff(), ESongImportResult::BAD_RATE,
                         "slow.aiff has a sample rate of 1 Hz. Tandora takes files of 1,000 to 768,000 Hz."},
        SSongRefusalCase{
            "fast.wav", riff_wave({chunk("fmt ", format_body(1, 1, 800000, 16)), chunk("data", Bytes(64))}),
            ESongImportResult::BAD_RATE,
            "fast.wav has a sample rate of 800000 Hz. Tandora takes files of 1,000 to 768,000 Hz."}),
    [](const auto& info) {
        std::string name = info.param.name;
        return name.substr(0, name.find('.'));
    });

TEST(SongImport, MissingFileIsAReadError)
{
    const SSongImport import = import_song(QStringLiteral("/nonexistent/gone.wav"), song_target(1), nullptr);
    EXPECT_EQ(import.result, ESongImportResult::READ_ERROR);
    EXPECT_EQ(song_import_message(import, "/nonexistent/gone.wav", song_target(1)),
              "Tandora could not read gone.wav.");
}

// A 60-minute file is judged by its header: refused without decoding one frame.
TEST(SongImport, SixtyMinutesAreRefusedBeforeAnyConversion)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/hour.wav";
    const uint32_t data_bytes = 3600u * 44100u * 4u;
    Bytes header = riff_wave({chunk("fmt ", format_body(1, 2, 44100, 16)), chunk("data", {}, data_bytes)});
    write_file(path, header);
    QFile file(path);
    // A sparse file: the hour costs no disk and is never read.
    ASSERT_TRUE(file.resize(qint64(header.size()) + data_bytes));

    const SSongImport import = import_song(path, song_target(1), nullptr);
    EXPECT_EQ(import.result, ESongImportResult::TOO_LONG);
    EXPECT_EQ(import.frames_decoded, 0u);
    EXPECT_EQ(import.converted_bytes, 3600u * 140625u);
    EXPECT_EQ(song_import_message(import, path, song_target(1)).toStdString(),
              "File too large!\nThis slot holds at most 4:53; the file is 1:00:00.");
}

// Files whose header does not tell their length convert until the song passes the slot.
class UnknownLength : public ::testing::TestWithParam<const char*> {};

TEST_P(UnknownLength, StopsAsSoonAsTheSongPassesTheSlot)
{
    const uint64_t quarter_second = 140625 / 4 / 3 * 3;
    const SSongImport import =
        import_song(fixture(GetParam()), song_target(1, EMonoMode::LEFT, quarter_second), nullptr);
    EXPECT_EQ(import.result, ESongImportResult::TOO_LONG);
    EXPECT_TRUE(import.song.empty());
    EXPECT_GT(import.frames_decoded, 0u);
    EXPECT_LT(import.frames_decoded, 40000u) << "decoded to the end of a 44100-frame file";
    EXPECT_EQ(
        song_import_message(import, fixture(GetParam()), song_target(1, EMonoMode::LEFT, quarter_second))
            .toStdString(),
        "File too large!\nThis slot holds at most 0:00; the file is longer.");
}

INSTANTIATE_TEST_SUITE_P(Fixtures, UnknownLength, ::testing::Values("tone_piped.wav", "tone_piped.flac"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.')) + "_" + name.substr(name.find('.') + 1);
                         });

// 16-bit sources keep the bytes of the one-shot conversion, whatever the block size.
struct SIdentityCase {
    const char* name;
    Bytes image;
};

class SixteenBitIdentity : public ::testing::TestWithParam<SIdentityCase> {};

TEST_P(SixteenBitIdentity, StreamingGivesTheOneShotBytes)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/source.wav";
    write_file(path, GetParam().image);
    for (unsigned int channels : {1u, 2u}) {
        CWave wave;
        ASSERT_TRUE(wave.Load(path));
        ASSERT_TRUE(wave.ResampleLinerAs46875Wav(int(channels)));
        const SSongImport import = import_song(path, song_target(channels), nullptr);
        ASSERT_EQ(import.result, ESongImportResult::OK);
        const Bytes expected = frames_of(wave);
        const Bytes actual(import.song.begin(), import.song.end());
        ASSERT_EQ(actual.size(), expected.size()) << channels << " channels";
        EXPECT_TRUE(actual == expected) << channels << " channels\n" << hex_diff(actual, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SixteenBitIdentity,
    ::testing::Values(SIdentityCase{"sox_stereo", read_file(fixture("sox_s16_stereo.wav"))},
                      SIdentityCase{"ffmpeg_six_channels", read_file(fixture("ffmpeg_s16_6ch.wav"))},
                      SIdentityCase{"sox_unsigned_8_bit", read_file(fixture("sox_u8_mono.wav"))},
                      SIdentityCase{"noise_44100_stereo", noise_wave16(44100, 2, 100000)},
                      SIdentityCase{"noise_22050_mono", noise_wave16(22050, 1, 70000)},
                      SIdentityCase{"noise_96000_stereo", noise_wave16(96000, 2, 120000)}),
    [](const auto& info) { return std::string(info.param.name); });

// A mono pedal takes the first channel, or the mean of all of them.
struct SMonoCase {
    const char* file;
    EMonoMode mode;
    double amplitude;  // of the sound that results, from its RMS
};

class MonoModes : public ::testing::TestWithParam<SMonoCase> {};

TEST_P(MonoModes, TakeLeftOrMixAll)
{
    const SMonoCase& c = GetParam();
    const SSongImport import = import_song(fixture(c.file), song_target(1, c.mode), nullptr);
    ASSERT_EQ(import.result, ESongImportResult::OK);
    EXPECT_NEAR(amplitude_of(channel_of(song_wave(import.song, 1), 0)), c.amplitude,
                c.amplitude * 0.01 + 1e-4);
}

INSTANTIATE_TEST_SUITE_P(
    Files, MonoModes,
    ::testing::Values(SMonoCase{"sox_s16_stereo.wav", EMonoMode::LEFT, 0.5},
                      // 1000 Hz and 500 Hz at 0.25 each
                      SMonoCase{"sox_s16_stereo.wav", EMonoMode::MIX, 0.25 * std::sqrt(2.0)},
                      SMonoCase{"tone_stereo.ogg", EMonoMode::MIX, 0.25 * std::sqrt(2.0)},
                      SMonoCase{"ffmpeg_s16_6ch.wav", EMonoMode::LEFT, 0.125},
                      // five channels at 1/8 and one at 1/16
                      SMonoCase{"ffmpeg_s16_6ch.wav", EMonoMode::MIX, 0.125 * 5.5 / 6},
                      SMonoCase{"tone_s24_mono.flac", EMonoMode::MIX, 0.5}));

TEST(SongImport, MixOfOppositeChannelsIsSilent)
{
    const std::vector<int16_t> tone = sine16(440, 44100, 20000, 0.5);
    std::vector<int16_t> opposite(tone.size());
    for (size_t i = 0; i < tone.size(); ++i)
        opposite[i] = int16_t(-tone[i]);
    CWave wave = pcm16_wave(44100, {tone, opposite});
    QTemporaryDir dir;
    ASSERT_TRUE(wave.Save(dir.path() + "/opposite.wav"));
    const SSongImport left = import_song(dir.path() + "/opposite.wav", song_target(1), nullptr);
    const SSongImport mix =
        import_song(dir.path() + "/opposite.wav", song_target(1, EMonoMode::MIX), nullptr);
    EXPECT_NEAR(amplitude_of(channel_of(song_wave(left.song, 1), 0)), 0.5, 0.01);
    EXPECT_LT(amplitude_of(channel_of(song_wave(mix.song, 1), 0)), 1e-6);
    EXPECT_STREQ(mono_mode_text(EMonoMode::LEFT), "Left channel");
    EXPECT_STREQ(mono_mode_text(EMonoMode::MIX), "Mix of both channels");
}

TEST(SongImport, ReportsProgressAndStopsWhenCancelled)
{
    const Bytes image = noise_wave16(44100, 2, 100000);
    CTask task;
    const SSongImport whole = import_bytes(image, song_target(1), &task);
    EXPECT_EQ(whole.result, ESongImportResult::OK);
    EXPECT_EQ(task.progress().percent, 100);

    CTask cancelled;
    cancelled.cancel();
    const SSongImport stopped = import_bytes(image, song_target(1), &cancelled);
    EXPECT_EQ(stopped.result, ESongImportResult::CANCELLED);
    EXPECT_TRUE(stopped.song.empty());
    EXPECT_LT(stopped.frames_decoded, 100000u);
    EXPECT_EQ(song_import_message(stopped, "x.wav", song_target(1)), "Cancelled");
}

// Files that hold less or other than a sound: refused with the time of the first sample
// that is not a number, or imported with a line for each flaw.
struct SFlawedFileCase {
    const char* name;
    Bytes content;
    ESongImportResult result;
    const char* text;  // the message of a refused file; the notes of an imported one
};

// Ten seconds of 8000 Hz mono float samples of 0.25, `value` at `at` seconds `count` times.
Bytes float_wave(float value, double at, int count)
{
    std::vector<float> samples(80000, 0.25f);
    std::fill_n(samples.begin() + std::lround(at * 8000), count, value);
    Bytes data(samples.size() * 4);
    std::memcpy(data.data(), samples.data(), data.size());
    return riff_wave({chunk("fmt ", format_body(3, 1, 8000, 32)), chunk("data", data)});
}

class FlawedFiles : public ::testing::TestWithParam<SFlawedFileCase> {};

TEST_P(FlawedFiles, RefusedAtTheBadSampleOrImportedWithANote)
{
    const SFlawedFileCase& c = GetParam();
    const SSongImport import = import_bytes(c.content, song_target(1));
    ASSERT_EQ(import.result, c.result) << import.detail.toStdString();
    const QString text = c.result == ESongImportResult::OK
                             ? song_import_notes(import).join('\n')
                             : song_import_message(import, QStringLiteral("/x/take.wav"), song_target(1));
    EXPECT_EQ(text.toStdString(), c.text);
    EXPECT_EQ(import.song.empty(), c.result != ESongImportResult::OK);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FlawedFiles,
    ::testing::Values(
        SFlawedFileCase{"Infinity", float_wave(INFINITY, 3.5, 1), ESongImportResult::NOT_FINITE,
                        "take.wav holds a sample that is not a number (NaN or infinity) at 0:03."},
        SFlawedFileCase{"NegativeInfinity", float_wave(-INFINITY, 9.9, 1), ESongImportResult::NOT_FINITE,
                        "take.wav holds a sample that is not a number (NaN or infinity) at 0:09."},
        SFlawedFileCase{"NaN", float_wave(NAN, 0, 1), ESongImportResult::NOT_FINITE,
                        "take.wav holds a sample that is not a number (NaN or infinity) at 0:00."},
        SFlawedFileCase{"BeyondFullScale", float_wave(-1.5f, 2, 3), ESongImportResult::OK,
                        "3 samples beyond full scale were clipped."},
        SFlawedFileCase{"AtFullScale", float_wave(1.0f, 2, 3), ESongImportResult::OK, ""},
        SFlawedFileCase{"ShorterThanItsHeader",
                        riff_wave({chunk("fmt ", format_body(1, 1, 8000, 16)),
                                   chunk("data", Bytes(80000, 0x10), 160000)}),
                        ESongImportResult::OK, "The file ends at 0:05 of the 0:10 its header gives."}),
    [](const auto& info) { return std::string(info.param.name); });
