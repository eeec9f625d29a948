#include "audio/wave.h"

#include <gtest/gtest.h>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <csignal>
#include <sys/stat.h>
#include <vector>

namespace {

// The installed tool, run as a user would, each command its own process, on the demo
// pedal whose flash lives in a data folder of the test's own.
class CliDemo : public ::testing::Test {
protected:
    QByteArray run(const QStringList& arguments, int expected_code = 0)
    {
        QProcess process;
        start(process, QStringList({"--demo-speed", "instant"}) + arguments);
        EXPECT_TRUE(process.waitForFinished(120000));
        EXPECT_EQ(process.exitCode(), expected_code) << process.readAllStandardError().toStdString();
        return process.readAllStandardOutput();
    }
    void start(QProcess& process, const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_home.path());
        environment.insert("XDG_DATA_HOME", m_home.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        process.setProcessEnvironment(environment);
        process.start(TANDORA_CLI, QStringList({"--demo"}) + arguments);
    }
    QString file(const QString& name) const { return m_home.filePath(name); }
    // A mono tone of `count` samples at 44100 Hz.
    QString tone(int count)
    {
        std::vector<int16_t> samples(static_cast<size_t>(count));
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>(9000 * std::sin(0.03 * double(i)));
        CWave wave;
        wave.BuildFormat(1, 44100, 16);
        wave.SetBuffer(samples.data(), static_cast<unsigned>(samples.size()), true);
        const QString path = file(QStringLiteral("tone-%1.wav").arg(count));
        EXPECT_TRUE(wave.Save(path));
        return path;
    }
    bool slot_empty(int slot, const QStringList& model = {})
    {
        return QJsonDocument::fromJson(run(model + QStringList{"list", "--json"}))
            .array()[slot - 1]
            .toObject()["empty"]
            .toBool();
    }

    QTemporaryDir m_home;
};

QByteArray read_file(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

}  // namespace

// A new demo pedal has its starter songs; a song imported in one run is there in the next,
// exported byte for byte as the run that imported it exports it.
TEST_F(CliDemo, SongsLastFromOneRunToTheNext)
{
    const QJsonArray fresh = QJsonDocument::fromJson(run({"list", "--json"})).array();
    ASSERT_EQ(fresh.size(), 30);
    EXPECT_FALSE(fresh[0].toObject()["empty"].toBool());
    EXPECT_FALSE(fresh[1].toObject()["empty"].toBool());
    EXPECT_TRUE(fresh[2].toObject()["empty"].toBool());

    const QString tone_file = tone(30000);
    run({"import", "3", tone_file});
    run({"export", "3", file("first.wav")});
    run({"export", "3", file("second.wav")});
    const QByteArray first = read_file(file("first.wav"));
    EXPECT_GT(first.size(), 30000);
    EXPECT_EQ(first, read_file(file("second.wav")));

    run({"delete", "3", "--yes"});
    EXPECT_TRUE(slot_empty(3));
}

// Each model keeps its own pedal; a reset asks first (refused with no terminal and no
// --yes) and starts afresh only the chosen model's pedal.
TEST_F(CliDemo, EachModelKeepsItsOwnPedalAndResetAsksFirst)
{
    const QStringList dual = {"--model", "DUAL WHEEL"};  // one slot
    run({"import", "3", tone(30000)});
    run(dual + QStringList{"delete", "1", "--yes"});
    EXPECT_TRUE(slot_empty(1, dual));
    EXPECT_FALSE(slot_empty(1));
    EXPECT_FALSE(slot_empty(3));

    run({"list", "--demo-reset"}, 1);
    EXPECT_FALSE(slot_empty(3));
    run(dual + QStringList{"list", "--demo-reset", "--yes"});
    EXPECT_FALSE(slot_empty(1, dual));  // its starter song again
    EXPECT_FALSE(slot_empty(3));
}

// Killed in the middle of a paced import, as if the pedal lost power: the next run finds
// the file sound and the slot empty as before, and imports into it again.
TEST_F(CliDemo, KilledImportLeavesTheSlotAsItWas)
{
    EXPECT_TRUE(slot_empty(3));
    const QString long_tone = tone(441000);
    QProcess import;
    // Piped, the tool shows no progress; its diagnostic lines tell when the writing began.
    start(import, {"import", "3", long_tone, "--verbose"});
    import.setReadChannel(QProcess::StandardError);
    QByteArray diagnostics;
    while (!diagnostics.contains("Write file block") && import.waitForReadyRead(120000))
        diagnostics += import.readAllStandardError();
    ASSERT_TRUE(diagnostics.contains("Write file block")) << diagnostics.toStdString();
    ::kill(static_cast<pid_t>(import.processId()), SIGKILL);
    ASSERT_TRUE(import.waitForFinished(120000));
    EXPECT_EQ(import.exitStatus(), QProcess::CrashExit);

    EXPECT_TRUE(slot_empty(3));
    run({"import", "3", long_tone});
    EXPECT_FALSE(slot_empty(3));
}

// A page table entry that does not fit its page: every command says the file is damaged
// and fails, until the demo pedal is reset.
TEST_F(CliDemo, DamagedFlashFileFailsEveryCommand)
{
    run({"list"});
    QDirIterator found(file("data"), {"demo-pedal-2712.flash"}, QDir::Files, QDirIterator::Subdirectories);
    ASSERT_TRUE(found.hasNext());
    QFile flash(found.next());
    ASSERT_TRUE(flash.open(QIODevice::ReadWrite));
    const qint64 entry = flash.read(4 << 20).indexOf("PAGE", 4096);
    ASSERT_GT(entry, 0);
    ASSERT_TRUE(flash.seek(entry + 4));
    ASSERT_EQ(flash.write("\x01\x02\x03\x04", 4), 4);
    flash.close();
    for (const QStringList& command : {QStringList{"list"}, QStringList{"export", "1", file("x.wav")}}) {
        QProcess process;
        start(process, QStringList({"--demo-speed", "instant"}) + command);
        ASSERT_TRUE(process.waitForFinished(120000));
        EXPECT_EQ(process.exitCode(), 1);
        EXPECT_EQ(process.readAllStandardError().trimmed().toStdString(),
                  "The demo pedal's flash file is damaged and was not loaded; reset the demo pedal to start "
                  "afresh.");
    }
    run({"list", "--demo-reset", "--yes"});
}

// An export into a named pipe no one reads waits in the open of the file, where no cancel
// reaches it: SIGTERM still ends the command, with the interrupt's exit code.
TEST_F(CliDemo, TermEndsACommandWaitingOnAFile)
{
    run({"list"});
    ASSERT_EQ(mkfifo(QFile::encodeName(file("pipe.wav")).constData(), 0600), 0);
    QProcess exporting;
    start(exporting, {"--demo-speed", "instant", "export", "1", file("pipe.wav"), "--yes"});
    // It cannot end by itself; the time lets it reach the open, with its task under way.
    EXPECT_FALSE(exporting.waitForFinished(500)) << exporting.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(exporting.processId()), SIGTERM);
    ASSERT_TRUE(exporting.waitForFinished(120000));
    EXPECT_EQ(exporting.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(exporting.exitCode(), 130);
}
