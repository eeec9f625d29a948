#include "audio/wave.h"
#include "wave_builder.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

namespace {

const Bytes FRAMES_16_MONO = hex_bytes("01 00 FF 7F 00 80 34 12");

class WaveFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.path() + "/" + name; }

    // Writes `image` to a file and loads it into `wave`.
    bool load(const Bytes& image, CWave& wave)
    {
        write_file(path("in.wav"), image);
        return wave.Load(path("in.wav"));
    }
};

}  // namespace

TEST_F(WaveFile, SavesThousandMonoFramesOf24BitsAsTheGoldenImage)
{
    CWave wave;
    wave.BuildFormat(1, 48000, 24);
    Bytes frames(3000);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = uint8_t(i * 7);
    wave.SetBuffer(frames.data(), 1000, true);
    ASSERT_TRUE(wave.Save(path("out.wav")));

    const Bytes expected = concat({hex_bytes("52 49 46 46 DE 0B 00 00 57 41 56 45 66 6D 74 20 12 00 00 00 "
                                             "01 00 01 00 80 BB 00 00 80 32 02 00 03 00 18 00 00 00 "
                                             "64 61 74 61 B8 0B 00 00"),
                                   frames});
    const Bytes actual = read_file(path("out.wav"));
    EXPECT_EQ(actual.size(), 3046u);
    EXPECT_EQ(actual, expected) << hex_diff(actual, expected);
    EXPECT_TRUE(wave.error_text().isEmpty());
}

TEST_F(WaveFile, CanonicalHeaderLoadsWithCbSizeZeroAndSurvivesARoundTrip)
{
    CWave wave;
    ASSERT_TRUE(
        load(riff_wave({chunk("fmt ", format_body(1, 1, 44100, 16)), chunk("data", FRAMES_16_MONO)}), wave));
    EXPECT_EQ(wave.GetFormat().cbSize, 0);
    EXPECT_EQ(wave.GetFormat().nSamplesPerSec, 44100u);
    EXPECT_EQ(wave.GetNumSamples(), 4u);
    EXPECT_EQ(frames_of(wave), FRAMES_16_MONO);

    ASSERT_TRUE(wave.Save(path("again.wav")));
    CWave back;
    ASSERT_TRUE(back.Load(path("again.wav")));
    EXPECT_EQ(back.GetFormat(), wave.GetFormat());
    EXPECT_EQ(frames_of(back), FRAMES_16_MONO);
}

TEST_F(WaveFile, ReadsFromTheFilesCurrentPosition)
{
    const Bytes image =
        riff_wave({chunk("fmt ", format_body(1, 1, 44100, 16)), chunk("data", FRAMES_16_MONO)});
    write_file(path("inner.wav"), concat({hex_bytes("DE AD BE EF"), image}));
    QFile file(path("inner.wav"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_TRUE(file.seek(4));
    CWave wave;
    ASSERT_TRUE(wave.Load(&file));
    EXPECT_EQ(frames_of(wave), FRAMES_16_MONO);
}

TEST_F(WaveFile, ExtensibleFormatKeepsItsTagAndIsSavedAsItsPlainSubFormat)
{
    const Bytes frames = hex_bytes("00 00 40 FF FF 7F");
    CWave wave;
    ASSERT_TRUE(
        load(riff_wave({chunk("fmt ", extensible_body(1, 1, 48000, 24)), chunk("data", frames)}), wave));
    EXPECT_EQ(wave.GetFormat().wFormatTag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(wave.GetFormat().cbSize, 22);
    EXPECT_EQ(wave.GetSampleFormatTag(), WAVE_FORMAT_PCM);
    EXPECT_EQ(wave.GetNumSamples(), 2u);

    // An 18-byte chunk cannot carry the 22 extension bytes an extensible record announces.
    ASSERT_TRUE(wave.Save(path("plain.wav")));
    const Bytes saved = read_file(path("plain.wav"));
    const Bytes record(saved.begin() + 20, saved.begin() + 38);
    const Bytes expected = hex_bytes("01 00 01 00 80 BB 00 00 80 32 02 00 03 00 18 00 00 00");
    EXPECT_EQ(record, expected) << hex_diff(record, expected);
}

struct SLayoutCase {
    const char* name;
    Bytes image;
    unsigned int frames;
};

class WaveFileLayouts : public WaveFile, public ::testing::WithParamInterface<SLayoutCase> {};

TEST_P(WaveFileLayouts, LoadTheWholeFramesOfTheFirstDataChunk)
{
    CWave wave;
    ASSERT_TRUE(load(GetParam().image, wave)) << wave.error_text().toStdString();
    EXPECT_EQ(wave.GetNumSamples(), GetParam().frames);
    EXPECT_EQ(Bytes(wave.GetBuffer(), wave.GetBuffer() + 2 * GetParam().frames),
              Bytes(FRAMES_16_MONO.begin(), FRAMES_16_MONO.begin() + 2 * GetParam().frames));
}

const Bytes FMT = chunk("fmt ", format_body(1, 1, 44100, 16));
const Bytes DATA = chunk("data", FRAMES_16_MONO);

INSTANTIATE_TEST_SUITE_P(
    Chunks, WaveFileLayouts,
    ::testing::Values(
        SLayoutCase{"list_between", riff_wave({FMT, chunk("LIST", hex_bytes("49 4E 46 4F")), DATA}), 4},
        SLayoutCase{"junk_first", riff_wave({chunk("JUNK", Bytes(28)), FMT, DATA}), 4},
        SLayoutCase{"odd_chunk_padded", riff_wave({FMT, chunk("bext", hex_bytes("01 02 03")), DATA}), 4},
        SLayoutCase{"data_before_fmt", riff_wave({DATA, FMT}), 4},
        SLayoutCase{"second_data_ignored", riff_wave({FMT, DATA, chunk("data", Bytes(4, 0xEE))}), 4},
        SLayoutCase{
            "format_extension_skipped",
            riff_wave({chunk("fmt ", concat({format_body(1, 1, 44100, 16), le16(4), Bytes(4, 0x99)})), DATA}),
            4},
        // A size that is no multiple of the frame size: the incomplete frame is dropped.
        SLayoutCase{"partial_frame",
                    riff_wave({FMT, chunk("data", Bytes(FRAMES_16_MONO.begin(), FRAMES_16_MONO.end() - 1))}),
                    3},
        // Declared longer than the file: only the frames present.
        SLayoutCase{"data_cut_short",
                    concat({riff_wave({FMT}), hex_bytes("64 61 74 61 E8 03 00 00"), FRAMES_16_MONO}), 4},
        SLayoutCase{
            "data_size_all_ones",
            concat({riff_wave({FMT}), hex_bytes("64 61 74 61 FF FF FF FF"), FRAMES_16_MONO, hex_bytes("01")}),
            4}),
    [](const auto& info) { return std::string(info.param.name); });

struct SRefusalCase {
    const char* name;
    Bytes image;
    const char* message;  // after "Wave file '<path>' "
};

class WaveFileRefusals : public WaveFile, public ::testing::WithParamInterface<SRefusalCase> {};

TEST_P(WaveFileRefusals, GiveTheirReasonAndLeaveTheWaveUnchanged)
{
    CWave wave = pcm16_wave(22050, {{5, 6, 7}});
    const SWaveFormatex before = wave.GetFormat();
    EXPECT_FALSE(load(GetParam().image, wave));
    EXPECT_EQ(wave.error_text(), QString("Wave file '%1' %2").arg(path("in.wav"), GetParam().message));
    EXPECT_EQ(wave.GetFormat(), before);
    EXPECT_EQ(frames_of(wave), hex_bytes("05 00 06 00 07 00"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, WaveFileRefusals,
    ::testing::Values(
        SRefusalCase{"empty", {}, "RIFF not found"},
        SRefusalCase{"big_endian_riff", hex_bytes("52 49 46 58 04 00 00 00 57 41 56 45"), "RIFF not found"},
        SRefusalCase{"not_wave", concat({hex_bytes("52 49 46 46 04 00 00 00 41 56 49 20"), FMT, DATA}),
                     "WAVEfmt not found"},
        SRefusalCase{"no_format", riff_wave({DATA}), "WAVEfmt not found"},
        SRefusalCase{"no_data", riff_wave({FMT, chunk("LIST", Bytes(4))}), "data segment not found"},
        SRefusalCase{"format_past_the_end",
                     riff_wave({chunk("fmt ", format_body(1, 1, 44100, 16), 0xFFFFFFF0u), DATA}),
                     "data segment not found"},
        SRefusalCase{"ima_adpcm", riff_wave({chunk("fmt ", format_body(0x11, 1, 44100, 4, 256)), DATA}),
                     "sample format not supported (format 17, 1 channels, 4 bits, 44100 Hz)"},
        SRefusalCase{"zero_block_align", riff_wave({chunk("fmt ", format_body(1, 1, 44100, 16, 0)), DATA}),
                     "sample format not supported (format 1, 1 channels, 16 bits, 44100 Hz)"},
        SRefusalCase{"zero_rate", riff_wave({chunk("fmt ", format_body(1, 1, 0, 16)), DATA}),
                     "sample format not supported (format 1, 1 channels, 16 bits, 0 Hz)"},
        SRefusalCase{"no_channels", riff_wave({chunk("fmt ", format_body(1, 0, 44100, 16, 2)), DATA}),
                     "sample format not supported (format 1, 0 channels, 16 bits, 44100 Hz)"},
        SRefusalCase{"half_float", riff_wave({chunk("fmt ", format_body(3, 1, 44100, 16)), DATA}),
                     "sample format not supported (format 3, 1 channels, 16 bits, 44100 Hz)"},
        SRefusalCase{"truncated_format", riff_wave({chunk("fmt ", Bytes(8, 0x01)), DATA}),
                     "sample format not supported (format 257, 257 channels, 0 bits, 16843009 Hz)"},
        SRefusalCase{"extensible_without_extension",
                     riff_wave({chunk("fmt ", format_body(WAVE_FORMAT_EXTENSIBLE, 1, 44100, 16)), DATA}),
                     "sample format not supported (format 65534, 1 channels, 16 bits, 44100 Hz)"},
        SRefusalCase{"extensible_alaw", riff_wave({chunk("fmt ", extensible_body(6, 1, 44100, 16)), DATA}),
                     "sample format not supported (format 65534, 1 channels, 16 bits, 44100 Hz)"},
        SRefusalCase{"not_one_frame", riff_wave({FMT, chunk("data", hex_bytes("01"))}), "holds no sound"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WaveFile, ReasonsKeepNamesOutsideLatin1Intact)
{
    const QString name = path(QString::fromUtf8("\xE6\xAD\x8C\xE6\x9B\xB2 \xC3\xA9t\xC3\xA9.wav"));
    write_file(name, hex_bytes("00 01 02 03"));
    CWave wave;
    EXPECT_FALSE(wave.Load(name));
    EXPECT_EQ(wave.error_text(), QString("Wave file '%1' RIFF not found").arg(name));
}

TEST_F(WaveFile, FailedOpensAndWritesAreReportedAndASuccessClearsThem)
{
    CWave wave = pcm16_wave(44100, {{1, 2}});
    EXPECT_FALSE(wave.Load(path("missing.wav")));
    EXPECT_EQ(wave.error_text(), "Open file 'missing.wav' failed, it may be occupied by other process");
    EXPECT_FALSE(wave.Save(path("no/such/folder.wav")));
    EXPECT_EQ(wave.error_text(), "Open file 'folder.wav' failed, it may be occupied by other process");
    EXPECT_FALSE(wave.Save(QString("/dev/full")));
    EXPECT_EQ(wave.error_text(), "Wave file '/dev/full' could not be written");

    ASSERT_TRUE(wave.Save(path("fine.wav")));
    EXPECT_TRUE(wave.error_text().isEmpty());
    EXPECT_FALSE(load(Bytes{}, wave));
    ASSERT_TRUE(wave.Load(path("fine.wav")));
    EXPECT_TRUE(wave.error_text().isEmpty());
}
