#include "audio/wave.h"
#include "firmware/pack_builder.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <vector>

namespace {

constexpr int kProcessLimitMs = 60000;
// How soon a command must end once the MIDI service is gone.
constexpr int kServiceEndLimitMs = 2000;

// tandora-pedal and tandora-cli as a user runs them, each its own process, meeting on the
// JACK server the test script started (named by JACK_DEFAULT_SERVER).
class JackEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (jack_missing())
            GTEST_SKIP() << kNoJack;
        m_environment.insert("HOME", m_home.path());
        m_environment.insert("XDG_DATA_HOME", file("data"));
        m_environment.insert("XDG_CONFIG_HOME", file("config"));
        start_pedal();
    }
    void TearDown() override
    {
        if (m_pedal.state() == QProcess::NotRunning)
            return;
        m_pedal.terminate();
        EXPECT_TRUE(m_pedal.waitForFinished(kProcessLimitMs));
        EXPECT_EQ(m_pedal.exitCode(), 0) << m_pedal.readAllStandardError().toStdString();
    }

    static bool jack_missing() { return qEnvironmentVariableIsEmpty("JACK_DEFAULT_SERVER"); }
    static constexpr const char* kNoJack =
        "No JACK server was started for the tests (tools/jack_server.sh starts one).";
    // The pedal on its JACK ports, its flash in the test's folder; returns once it says so.
    void start_pedal()
    {
        m_pedal.setProcessEnvironment(m_environment);
        m_pedal.start(TANDORA_PEDAL,
                      {"--midi-api", "jack", "--pace", "instant", "--flash", file("pedal.flash")});
        QByteArray said;
        while (!said.contains("plugged in") && m_pedal.waitForReadyRead(kProcessLimitMs))
            said += m_pedal.readAllStandardOutput();
        ASSERT_TRUE(said.contains("plugged in")) << m_pedal.readAllStandardError().toStdString();
    }
    void start_cli(QProcess& process, const QStringList& arguments)
    {
        process.setProcessEnvironment(m_environment);
        process.start(TANDORA_CLI, QStringList({"--midi-api", "jack"}) + arguments);
    }
    // The command's output; its exit code must be 0.
    QByteArray cli(const QStringList& arguments)
    {
        QProcess process;
        start_cli(process, arguments);
        EXPECT_TRUE(process.waitForFinished(kProcessLimitMs));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return process.readAllStandardOutput();
    }
    // Starts the import of a 3-second song into slot 3 and returns what it said once it began
    // to write (or ran out of time). Piped, the tool shows no progress; its diagnostic lines
    // tell when the writing began.
    QByteArray import_until_writing(QProcess& import, const QString& song)
    {
        start_cli(import, {"import", "3", saw(song, 3), "--yes", "--verbose"});
        import.setReadChannel(QProcess::StandardError);
        QByteArray said;
        while (!said.contains("Write file block") && import.waitForReadyRead(kProcessLimitMs))
            said += import.readAllStandardError();
        return said;
    }
    QString file(const QString& name) const { return m_home.filePath(name); }
    // A stereo saw of `seconds` at 44100 Hz.
    QString saw(const QString& name, double seconds)
    {
        std::vector<int16_t> samples(static_cast<size_t>(seconds * 44100) * 2);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>((i * 211) % 20000 - 10000);
        CWave wave;
        wave.BuildFormat(2, 44100, 16);
        wave.SetBuffer(samples.data(), static_cast<unsigned>(samples.size() / 2), true);
        EXPECT_TRUE(wave.Save(file(name)));
        return file(name);
    }
    QByteArray exported(int slot, const QString& name)
    {
        cli({"export", QString::number(slot), file(name)});
        QFile in(file(name));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    QTemporaryDir m_home;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    QProcess m_pedal;
};

// Every kind of command a user runs, on the pedal's real MIDI ports.
TEST_F(JackEndToEnd, CommandsReachThePedalOverJack)
{
    const QJsonArray ports = QJsonDocument::fromJson(cli({"ports", "--json"})).array();
    ASSERT_EQ(ports.size(), 1);
    EXPECT_EQ(ports[0].toObject()["name"].toString(), "PULSE RING:PULSE RING");
    EXPECT_EQ(QJsonDocument::fromJson(cli({"info", "--json"})).object()["model"].toString(), "PULSE RING");

    cli({"import", "3", saw("song.wav", 0.5), "--verify", "--quiet"});
    EXPECT_GT(exported(3, "song-export.wav").size(), 0.5 * 48000 * 3);  // 24-bit, mono at least
    cli({"delete", "3", "--yes", "--quiet"});
    EXPECT_TRUE(QJsonDocument::fromJson(cli({"list", "--json"})).array()[2].toObject()["empty"].toBool());

    QString error;
    const QByteArray layout =
        "[FLASH 1]\nTYPE=0\nStart Address=0x2000\nEnd Address=0x3000\nSector Size=0x800\n";
    ASSERT_TRUE(write_pack_file(file("update.dat"), "10002", {{layout, QByteArray(0x900, 'Z')}}, error))
        << error.toStdString();
    cli({"firmware", file("update.dat"), "--yes", "--quiet"});
}

// The pedal program killed in the middle of an import, as a pedal pulled out: the command
// fails at once and says why, and the pedal, plugged in again, still has the old song.
TEST_F(JackEndToEnd, PedalGoneDuringAnImportKeepsTheOldSong)
{
    cli({"import", "3", saw("old.wav", 0.3), "--quiet"});
    const QByteArray old_song = exported(3, "old-export.wav");

    QProcess import;
    QByteArray said = import_until_writing(import, "new.wav");
    ASSERT_TRUE(said.contains("Write file block")) << said.toStdString();
    ::kill(static_cast<pid_t>(m_pedal.processId()), SIGKILL);
    ASSERT_TRUE(m_pedal.waitForFinished(kProcessLimitMs));
    ASSERT_TRUE(import.waitForFinished(kProcessLimitMs));
    EXPECT_EQ(import.exitCode(), 1);
    said += import.readAllStandardError();
    // The step the link lost the pedal in ("FLASH erase failed!", "FLASH write failed!"),
    // among the diagnostic lines.
    EXPECT_TRUE(QString::fromUtf8(said).contains(QRegularExpression("(?m)^FLASH \\w+ failed!$")))
        << said.toStdString();

    start_pedal();
    EXPECT_FALSE(old_song.isEmpty());
    EXPECT_EQ(exported(3, "after.wav"), old_song);
}

// A JACK server of the test's own, so that the one the other tests share, some of them at
// the same time, stays up when this one is stopped. Its options are the test script's.
class JackServerStop : public JackEndToEnd {
protected:
    void SetUp() override
    {
        if (jack_missing())
            GTEST_SKIP() << kNoJack;
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(
            "jackd", {"--name", m_name, "-R", "-S", "-t", "100", "-d", "dummy", "-r", "48000", "-p", "128"});
        QProcess wait;
        wait.start("jack_wait", {"--server", m_name, "--wait", "--timeout", "10"});
        ASSERT_TRUE(wait.waitForFinished(kProcessLimitMs) && wait.exitCode() == 0)
            << m_server.readAll().toStdString();
        m_environment.insert("JACK_DEFAULT_SERVER", m_name);
        JackEndToEnd::SetUp();
    }
    // Stopped as the test stops it (SIGTERM), never killed: a killed server stays in JACK's
    // registry of servers, which holds eight. The semaphores of the clients that lost their
    // server stay behind too, and go here.
    void TearDown() override
    {
        JackEndToEnd::TearDown();
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            EXPECT_TRUE(m_server.waitForFinished(kProcessLimitMs));
        }
        QDir shared_memory("/dev/shm");
        for (const QString& left :
             shared_memory.entryList({"jack_sem.*_" + m_name + "_*"}, QDir::Files | QDir::System))
            shared_memory.remove(left);
    }

    const QString m_name = QStringLiteral("tandora-stop-%1").arg(::getpid());
    QProcess m_server;
};

// The server stopped in the middle of an import: the command ends at once and says why, and
// so does the pedal program.
TEST_F(JackServerStop, EndsAnImportAndThePedalProgramAtOnce)
{
    QProcess import;
    QByteArray said = import_until_writing(import, "song.wav");
    ASSERT_TRUE(said.contains("Write file block")) << said.toStdString();
    m_server.terminate();
    ASSERT_TRUE(import.waitForFinished(kServiceEndLimitMs)) << "the command ran on after the server ended";
    EXPECT_EQ(import.exitCode(), 1);
    said += import.readAllStandardError();
    EXPECT_TRUE(said.endsWith("\nThe MIDI service stopped.\n")) << said.toStdString();

    ASSERT_TRUE(m_pedal.waitForFinished(kProcessLimitMs));
    EXPECT_EQ(m_pedal.exitCode(), 4);
    EXPECT_EQ(m_pedal.readAllStandardError(), "The MIDI service stopped.\n");
}

}  // namespace
