#include "audio/song_audio.h"
#include "audio/song_loudness.h"
#include "audio/song_time_text.h"
#include "audio/wave.h"
#include "capture_sink.h"
#include "cli/cli_context.h"
#include "cli/interrupt.h"
#include "cli/terminal_prompt.h"
#include "emulator/pedal_emulator.h"
#include "pedal_kit.h"
#include "signal_measure.h"
#include "support/task.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

constexpr uint32_t kPulseRing = 0x2712;
constexpr uint8_t kErase = 0x21;
constexpr uint8_t kWrite = 0x22;
constexpr uint8_t kRead = 0x23;

struct SRun {
    int code = -1;
    QString out;
    QString err;
};

QString read_all(std::FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    QByteArray bytes;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, static_cast<int>(got));
    std::fclose(file);
    return QString::fromUtf8(bytes);
}

// The tool run in this process against emulated pedals, with no terminal: what it prints
// and its exit code.
class Cli : public ::testing::Test {
protected:
    CPedalEmulator& add_pedal(uint32_t product_id = kPulseRing)
    {
        SPedalConfig config;
        config.product_id = product_id;
        m_pedals.push_back(std::make_unique<CPedalEmulator>(m_midi.system, config));
        return *m_pedals.back();
    }
    SRun run(QStringList arguments, const std::function<void(CTask&)>& on_step = {})
    {
        arguments.prepend("tandora-cli");
        const SCliParse parse = parse_cli(arguments);
        SRun result;
        if (!parse.options) {
            result.code = parse.exit_code;
            result.err = parse.text;
            return result;
        }
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        CTerminalPrompt prompt(parse.options->yes, false, stdin, err);
        {
            CInterruptWatch interrupt;
            SCliContext context{*parse.options, prompt, interrupt, false, out, err, on_step, &m_sink};
            result.code = run_cli_command(context);
        }
        result.out = read_all(out);
        result.err = read_all(err);
        return result;
    }
    QString file(const QString& name) const { return m_files.filePath(name); }
    QByteArray contents(const QString& name) const
    {
        QFile in(file(name));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    void write_tone(const QString& path, unsigned frames) const
    {
        std::vector<int16_t> samples(frames);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>(7000 * std::sin(0.05 * double(i)));
        CWave wave;
        wave.BuildFormat(1, 44100, 16);
        wave.SetBuffer(samples.data(), frames, true);
        ASSERT_TRUE(wave.Save(path));
    }
    // Flash commands that change something, over every pedal.
    size_t flash_changes()
    {
        size_t count = 0;
        for (auto& pedal : m_pedals) {
            for (const SPedalCommandRecord& record : update_commands(*pedal))
                count += record.command == kErase || record.command == kWrite ? 1 : 0;
        }
        return count;
    }

    CInstalledMidiSystem m_midi;
    std::vector<std::unique_ptr<CPedalEmulator>> m_pedals;
    QTemporaryDir m_files;
    CCaptureSink m_sink;
};

struct SBadInput {
    const char* name;
    QStringList arguments;
    int code;
    const char* message;
};

class CliBadInput : public Cli, public ::testing::WithParamInterface<SBadInput> {};

}  // namespace

TEST_P(CliBadInput, SaysWhyAndChangesNothing)
{
    add_pedal();
    write_tone(file("tone.wav"), 4410);
    QFile text(file("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are not samples at all, only words");
    text.close();
    // A download cut at half of its two seconds.
    write_tone(file("cut.wav"), 88200);
    ASSERT_TRUE(QFile(file("cut.wav")).resize(44 + 88200));
    ASSERT_EQ(run({"import", "1", file("tone.wav")}).code, 0);
    const size_t before = flash_changes();
    QStringList arguments = GetParam().arguments;
    for (QString& argument : arguments)
        argument.replace("@", m_files.path() + "/");
    const SRun result = run(arguments);
    EXPECT_EQ(result.code, GetParam().code) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(GetParam().message)) << result.err.toStdString();
    EXPECT_EQ(flash_changes(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliBadInput,
    ::testing::Values(
        SBadInput{
            "slot0", {"import", "0", "@tone.wav"}, 2, "Slot '0' does not exist: slots are numbered from 1."},
        SBadInput{"slot31", {"delete", "31"}, 2, "this pedal has slots 1 to 30"},
        SBadInput{"missing", {"import", "2", "@nothing.wav"}, 1, "is not a file that can be read"},
        SBadInput{"not_audio",
                  {"import", "2", "@notes.txt"},
                  1,
                  "notes.txt is not an audio file Tandora can read."},
        SBadInput{"mono", {"import", "2", "@tone.wav", "--mono", "right"}, 2, "--mono takes left or mix"},
        SBadInput{"loudness",
                  {"import", "2", "@tone.wav", "--loudness", "-15"},
                  2,
                  "--loudness takes off, -14, -16 or -23"},
        SBadInput{"option", {"list", "--loud"}, 2, "Unknown option 'loud'; see --help."},
        SBadInput{"command", {"dance"}, 2, "Unknown command"},
        SBadInput{"play_empty", {"play", "3"}, 1, "Slot 3 holds no song"},
        SBadInput{"empty_slot", {"export", "3", "@out.wav"}, 1, "Slot 3 holds no song"},
        SBadInput{"loudness_of_nothing", {"loudness"}, 2, "Wrong number of arguments for 'loudness'"},
        SBadInput{"loudness_of_empty", {"loudness", "1", "3"}, 1, "Slot 3 holds no song"},
        SBadInput{"overwrite_unanswered", {"import", "1", "@tone.wav"}, 1, "Nothing changed."},
        SBadInput{
            "overwrite_cut_file",
            {"import", "1", "@cut.wav"},
            1,
            "overwrite the song?\ntone \u00b7 0:00\nThe file ends at 0:01 of the 0:02 its header gives."},
        SBadInput{"unwritable", {"export", "1", "@no/such/folder/out.wav"}, 1, "failed"},
        SBadInput{"backup_not_empty", {"backup", "@"}, 1, "is not empty"},
        SBadInput{"restore_no_backup", {"restore", "@"}, 1, "is not a Tandora backup"},
        SBadInput{"restore_slots", {"restore", "@", "--slots", "3-1"}, 2, "--slots takes"},
        SBadInput{"restore_no_args", {"restore"}, 2, "Wrong number of arguments"},
        SBadInput{"sync_first_slot", {"sync", "@", "--first-slot", "0"}, 2, "--first-slot takes"},
        SBadInput{"move_empty", {"move", "2", "3"}, 1, "Song 002 is empty: there is no song to move."},
        SBadInput{"arrange_list", {"arrange", "3,x"}, 2, "arrange takes the slots in their new order"},
        SBadInput{"arrange_twice", {"arrange", "1,1"}, 1, "Each slot may be listed once."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Cli, TwoPedalsNeedAPort)
{
    add_pedal();
    add_pedal();
    const SRun result = run({"info"});
    EXPECT_EQ(result.code, 2);
    EXPECT_TRUE(result.err.contains("--port"));
    EXPECT_EQ(run({"info", "--port", "2"}).code, 0);
}

TEST_F(Cli, NoPedalExitsWithThree)
{
    EXPECT_EQ(run({"list"}).code, 3);
    // Bad usage is judged before a pedal is looked for.
    for (const QStringList& usage : {QStringList{"delete", "one"},
                                     {"export", "-2", "x.wav"},
                                     {"loudness", "1", "z"},
                                     {"play", "0"},
                                     {"restore", "x", "--slots", "2-"},
                                     {"list", "--loud"}})
        EXPECT_EQ(run(usage).code, 2) << usage.join(' ').toStdString();
    m_midi.system.set_reachable(false);
    const SRun ports = run({"ports"});
    EXPECT_EQ(ports.code, 3);
    EXPECT_TRUE(ports.err.startsWith("This computer's MIDI service cannot be reached"))
        << ports.err.toStdString();
    const SRun json = run({"ports", "--json"});
    EXPECT_EQ(json.code, 3);
    EXPECT_TRUE(QJsonDocument::fromJson(json.out.toUtf8()).object()["error"].toString().contains("--demo"))
        << json.out.toStdString();
}

TEST_F(Cli, SongsGoInComeOutAndGoAway)
{
    add_pedal();
    write_tone(file("tone.wav"), 44100);
    EXPECT_EQ(run({"import", "2", file("tone.wav")}).code, 0);
    const SRun listed = run({"list", "--json"});
    ASSERT_EQ(listed.code, 0);
    const QJsonArray slot_list = QJsonDocument::fromJson(listed.out.toUtf8()).array();
    ASSERT_EQ(slot_list.size(), 30);
    EXPECT_FALSE(slot_list[1].toObject()["empty"].toBool());
    EXPECT_NEAR(slot_list[1].toObject()["seconds"].toDouble(), 1.0, 0.01);
    EXPECT_TRUE(slot_list[0].toObject()["empty"].toBool());
    EXPECT_EQ(slot_list[1].toObject()["name"].toString(), "tone");
    EXPECT_TRUE(slot_list[0].toObject()["name"].isNull());
    const SRun renamed = run({"rename", "2", "Intro jam"});
    EXPECT_EQ(renamed.code, 0) << renamed.err.toStdString();
    EXPECT_EQ(renamed.out.trimmed(), "Song 002 is now named Intro jam.");
    EXPECT_TRUE(run({"list"}).out.split('\n')[1].endsWith("  Intro jam"));
    EXPECT_EQ(run({"rename", "2", QString(101, 'x')}).code, 1);
    const double lufs = slot_list[1].toObject()["loudness"].toObject()["integrated_lufs"].toDouble(0);
    EXPECT_LT(lufs, -3);
    const SRun loudness = run({"loudness", "--all", "--json"});
    ASSERT_EQ(loudness.code, 0) << loudness.err.toStdString();
    const QJsonArray figures = QJsonDocument::fromJson(loudness.out.toUtf8()).array();
    ASSERT_EQ(figures.size(), 1);
    EXPECT_EQ(figures[0].toObject()["slot"].toInt(), 2);
    EXPECT_EQ(figures[0].toObject()["integrated_lufs"].toDouble(), lufs);
    // Imported as the file: the true peak is read and measured once, then kept.
    EXPECT_TRUE(figures[0].toObject()["read_now"].toBool());
    EXPECT_TRUE(figures[0].toObject()["true_peak_dbtp"].isDouble());
    EXPECT_FALSE(QJsonDocument::fromJson(run({"loudness", "--all", "--json"}).out.toUtf8())
                     .array()[0]
                     .toObject()["read_now"]
                     .toBool());

    EXPECT_EQ(run({"export", "2", file("out.wav")}).code, 0);
    CWave wave;
    ASSERT_TRUE(wave.Load(file("out.wav")));
    EXPECT_EQ(wave.GetFormat().nSamplesPerSec, 48000u);

    // Without a terminal the question is refused, and nothing changes.
    const size_t before = flash_changes();
    const SRun refused = run({"delete", "2"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains("--yes"));
    EXPECT_EQ(flash_changes(), before);
    EXPECT_EQ(run({"delete", "2", "--yes"}).code, 0);
    EXPECT_TRUE(QJsonDocument::fromJson(run({"list", "--json"}).out.toUtf8())
                    .array()[1]
                    .toObject()["empty"]
                    .toBool());
}

// The song's name goes with it; a move onto a song asks before it swaps.
TEST_F(Cli, MovesSwapsAndArrangesSongsWithTheirNames)
{
    add_pedal();
    write_tone(file("tone.wav"), 4410);
    ASSERT_EQ(run({"import", "1", file("tone.wav")}).code, 0);
    ASSERT_EQ(run({"import", "2", file("tone.wav")}).code, 0);
    ASSERT_EQ(run({"rename", "1", "Intro jam"}).code, 0);
    const SRun moved = run({"move", "1", "3"});
    EXPECT_EQ(moved.code, 0) << moved.err.toStdString();
    EXPECT_TRUE(moved.out.contains("Song 003: Intro jam (was Song 001)")) << moved.out.toStdString();
    const size_t before = flash_changes();
    EXPECT_EQ(run({"move", "3", "2"}).code, 1);
    EXPECT_EQ(flash_changes(), before);
    EXPECT_EQ(run({"move", "3", "2", "--yes"}).code, 0);
    EXPECT_EQ(run({"swap", "2", "1"}).code, 0);
    EXPECT_EQ(run({"arrange", "3,1"}).code, 0);
    EXPECT_TRUE(run({"list"}).out.split('\n')[2].endsWith("  Intro jam"));
}

TEST_F(Cli, PlaysASlotAsItsFileWouldSound)
{
    add_pedal();
    write_tone(file("tone.wav"), 44100);
    const SRun imported = run({"import", "2", file("tone.wav")});
    ASSERT_EQ(imported.code, 0);
    EXPECT_FALSE(imported.err.contains('%'))
        << "no progress where no terminal is: " << imported.err.toStdString();
    const SRun slot = run({"play", "2"});
    EXPECT_EQ(slot.code, 0) << slot.err.toStdString();
    EXPECT_EQ(slot.out, "Playing slot 2: tone\n");
    const QJsonArray lines = QJsonDocument::fromJson(run({"list", "--json"}).out.toUtf8()).array();
    EXPECT_EQ(double(m_sink.written() * kSongBytesPerSample), lines[1].toObject()["bytes"].toDouble());
    const std::vector<float> from_slot = m_sink.samples;
    const SRun from_file = run({"play", file("tone.wav")});
    EXPECT_EQ(from_file.code, 0) << from_file.err.toStdString();
    // The pedal's record keeps the song's length in whole units: the file's last few
    // frames are not in the slot.
    ASSERT_GE(m_sink.samples.size(), from_slot.size());
    EXPECT_TRUE(std::equal(from_slot.begin(), from_slot.end(), m_sink.samples.begin()));
}

TEST_F(Cli, PlayWithoutAnOutputSaysWhy)
{
    add_pedal();
    m_sink.unavailable_text = "No sound here.";
    const SRun result = run({"play", file("tone.wav")});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err.trimmed(), "No sound here.");
}

TEST_F(Cli, InfoAndPortsAsJson)
{
    add_pedal();
    const QJsonObject info = QJsonDocument::fromJson(run({"info", "--json"}).out.toUtf8()).object();
    EXPECT_EQ(info["model"].toString(), "PULSE RING");
    EXPECT_EQ(info["product_id"].toString(), "0x2712");
    EXPECT_EQ(info["slots"].toInt(), 30);
    EXPECT_GT(info["free_bytes"].toDouble(), 0);
    EXPECT_FALSE(info.contains("longest_song_seconds"));
    const QJsonArray ports = QJsonDocument::fromJson(run({"ports", "--json"}).out.toUtf8()).array();
    ASSERT_EQ(ports.size(), 1);
    EXPECT_TRUE(ports[0].toObject()["pedal"].toBool());
    EXPECT_EQ(ports[0].toObject()["index"].toInt(), 1);
}

// One slot cannot take all the free space: info says what it holds, as the window does.
TEST_F(Cli, InfoOfAOneSlotModelGivesTheLongestSong)
{
    add_pedal(0x2716);
    const double longest = QJsonDocument::fromJson(run({"info", "--json"}).out.toUtf8())
                               .object()["longest_song_seconds"]
                               .toDouble();
    EXPECT_GT(longest, 0);
    EXPECT_TRUE(
        run({"info"}).out.contains("\nLongest:    one song holds at most " + time_text(longest) + "\n"));
}

// Ctrl-C while the song moves: the slot keeps its song, no file is left half written.
TEST_F(Cli, InterruptCancelsImportAndExport)
{
    add_pedal();
    write_tone(file("old.wav"), 20000);
    write_tone(file("long.wav"), 400000);
    ASSERT_EQ(run({"import", "1", file("old.wav")}).code, 0);
    ASSERT_EQ(run({"export", "1", file("old_out.wav")}).code, 0);
    auto interrupt_once = [](CTask& task) {
        if (task.cancelled())
            return;
        std::raise(SIGINT);
        while (!task.cancelled())
            std::this_thread::yield();
    };
    const SRun import = run({"import", "1", file("long.wav"), "--yes"}, interrupt_once);
    EXPECT_EQ(import.code, 130);
    EXPECT_TRUE(import.err.contains("Cancelled !")) << import.err.toStdString();
    ASSERT_EQ(run({"export", "1", file("again.wav")}).code, 0);
    QFile before(file("old_out.wav"));
    QFile after(file("again.wav"));
    ASSERT_TRUE(before.open(QIODevice::ReadOnly) && after.open(QIODevice::ReadOnly));
    EXPECT_EQ(before.readAll(), after.readAll());

    const SRun exported = run({"export", "1", file("cut.wav")}, interrupt_once);
    EXPECT_EQ(exported.code, 130);
    EXPECT_FALSE(QFileInfo::exists(file("cut.wav")));
}

// A file panned hard right: the left channel is silence, the mix is not.
TEST_F(Cli, MonoOptionChoosesWhatAMonoPedalTakes)
{
    add_pedal();
    std::vector<int16_t> right_only(2 * 4410);
    for (size_t i = 1; i < right_only.size(); i += 2)
        right_only[i] = static_cast<int16_t>(7000 * std::sin(0.05 * double(i / 2)));
    CWave stereo;
    stereo.BuildFormat(2, 44100, 16);
    stereo.SetBuffer(right_only.data(), 4410, true);
    ASSERT_TRUE(stereo.Save(file("right.wav")));
    for (const char* mode : {"left", "mix"}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(run({"import", "1", file("right.wav"), "--mono", mode, "--yes"}).code, 0);
        ASSERT_EQ(run({"export", "1", file(QString("%1.wav").arg(mode))}).code, 0);
    }
    CWave left, mix;
    ASSERT_TRUE(left.Load(file("left.wav")));
    ASSERT_TRUE(mix.Load(file("mix.wav")));
    const auto silent = [](const CWave& wave) {
        return std::all_of(wave.GetBuffer(), wave.GetBuffer() + wave.GetBufferLength(),
                           [](unsigned char byte) { return byte == 0; });
    };
    EXPECT_TRUE(silent(left));
    EXPECT_FALSE(silent(mix));
}

// A negative figure after --loudness is the option's value, and the song reaches it.
TEST_F(Cli, LoudnessOptionNormalisesTheImport)
{
    add_pedal();
    write_tone(file("tone.wav"), 44100);
    ASSERT_EQ(run({"import", "1", file("tone.wav"), "--loudness", "-16"}).code, 0);
    ASSERT_EQ(run({"export", "1", file("out.wav")}).code, 0);
    CWave exported;
    ASSERT_TRUE(exported.Load(file("out.wav")));
    const std::vector<double> samples = channel_of(exported, 0);
    const std::unique_ptr<CLoudnessMeter> meter = CLoudnessMeter::create(1, kExportSampleRate, false);
    ASSERT_TRUE(meter);
    meter->add(samples.data(), samples.size());
    EXPECT_NEAR(meter->result().integrated_lufs, -16.0, 0.1);
}

// Back up, empty the pedal, restore: every song exports as it did before, and the backup's
// WAV copies are those exports.
TEST_F(Cli, BackupDeleteAllRestoreExportsTheSameSongs)
{
    add_pedal();
    write_tone(file("a.wav"), 30000);
    write_tone(file("b.wav"), 300000);
    ASSERT_EQ(run({"import", "1", file("a.wav"), "--verify"}).code, 0);
    ASSERT_EQ(run({"import", "4", file("b.wav")}).code, 0);
    ASSERT_EQ(run({"export", "1", file("a_before.wav")}).code, 0);
    ASSERT_EQ(run({"export", "4", file("b_before.wav")}).code, 0);

    const SRun backed_up = run({"backup", file("backup"), "--wav"});
    ASSERT_EQ(backed_up.code, 0) << backed_up.err.toStdString();
    EXPECT_EQ(contents("backup/01 a.wav"), contents("a_before.wav"));
    ASSERT_EQ(run({"delete", "1", "--yes"}).code, 0);
    ASSERT_EQ(run({"delete", "4", "--yes"}).code, 0);

    const size_t before = flash_changes();
    const SRun refused = run({"restore", file("backup")});
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(flash_changes(), before);
    const SRun restored = run({"restore", file("backup"), "--yes"});
    ASSERT_EQ(restored.code, 0) << restored.err.toStdString();
    EXPECT_TRUE(restored.out.contains("Song 004: restored")) << restored.out.toStdString();
    ASSERT_EQ(run({"export", "1", file("a_after.wav")}).code, 0);
    ASSERT_EQ(run({"export", "4", file("b_after.wav")}).code, 0);
    EXPECT_EQ(contents("a_after.wav"), contents("a_before.wav"));
    EXPECT_EQ(contents("b_after.wav"), contents("b_before.wav"));
}

// A read that returns other bytes than the flash holds fails --verify, and only --verify.
TEST_F(Cli, VerifiedImportFailsOnDifferentData)
{
    CPedalEmulator& pedal = add_pedal();
    write_tone(file("a.wav"), 30000);
    SPedalFault fault = SPedalFault::update(EPedalFaultKind::WRONG_DATA, kRead);
    fault.last_address = 1970u * 262144u - 1;  // the audio blocks; the slots' records read right
    pedal.add_fault(fault);
    const SRun verified = run({"import", "1", file("a.wav"), "--verify"});
    EXPECT_EQ(verified.code, 1);
    EXPECT_TRUE(verified.err.contains("Verify failed: the pedal returned different data for Song 001"))
        << verified.err.toStdString();
    EXPECT_FALSE(verified.out.contains("Successful"));
    EXPECT_EQ(run({"import", "1", file("a.wav"), "--yes"}).code, 0);
}

// --plan tells its settings, each slot and why, and the time, and writes nothing; once
// synced, the plan finds the songs up to date.
TEST_F(Cli, SyncPlanTellsEachSlotAndWritesOnlyWhenRun)
{
    add_pedal();
    write_tone(file("a.wav"), 4410);
    write_tone(file("b.wav"), 8820);
    QFile list(file("gig.m3u"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("#EXTINF:12,Opener\na.wav\nb.wav\n");
    list.close();

    const SRun planned = run({"sync", file("gig.m3u"), "--plan", "--first-slot", "3"});
    ASSERT_EQ(planned.code, 0) << planned.err.toStdString();
    EXPECT_EQ(planned.out.section('\n', 1),
              "Loudness: As the file; mono: Left channel (the command line's options).\n"
              "write Song 003: Opener (a.wav) [new]\nwrite Song 004: b (b.wav) [new]\n"
              "Writing 0.0 MB takes about 0:00, estimated from the link's typical speed.\n");
    EXPECT_EQ(flash_changes(), 0u);

    ASSERT_EQ(run({"sync", file("gig.m3u"), "--yes", "--first-slot", "3"}).code, 0);
    EXPECT_GT(flash_changes(), 0u);
    EXPECT_TRUE(run({"sync", file("gig.m3u"), "--plan", "--first-slot", "3"})
                    .out.contains("up to date Song 004: b (b.wav)"));
}
