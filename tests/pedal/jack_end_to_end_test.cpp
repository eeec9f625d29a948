#include "audio/wave.h"
#include "firmware/pack_builder.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <vector>

namespace {

constexpr int kProcessLimitMs = 60000;

// tandora-pedal and tandora-cli as a user runs them, each its own process, meeting on the
// JACK server the test script started (named by JACK_DEFAULT_SERVER).
class JackEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("JACK_DEFAULT_SERVER"))
            GTEST_SKIP() << "No JACK server was started for the tests (tools/jack_server.sh starts one).";
        m_environment = QProcessEnvironment::systemEnvironment();
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
    // The command's output; its exit code must be `expected`.
    QByteArray cli(const QStringList& arguments, int expected = 0)
    {
        QProcess process;
        start_cli(process, arguments);
        EXPECT_TRUE(process.waitForFinished(kProcessLimitMs));
        EXPECT_EQ(process.exitCode(), expected) << process.readAllStandardError().toStdString();
        return process.readAllStandardOutput();
    }
    QJsonValue slot_line(int slot)
    {
        return QJsonDocument::fromJson(cli({"list", "--json"})).array()[slot - 1];
    }
    QString file(const QString& name) const { return m_home.filePath(name); }
    // A stereo rising sweep of `seconds` at 44100 Hz.
    QString sweep(const QString& name, double seconds)
    {
        const int frames = static_cast<int>(seconds * 44100);
        std::vector<int16_t> samples;
        for (int i = 0; i < frames; ++i) {
            const auto value = static_cast<int16_t>((i * (i % 97)) % 20000 - 10000);
            samples.insert(samples.end(), {value, static_cast<int16_t>(-value)});
        }
        CWave wave;
        wave.BuildFormat(2, 44100, 16);
        wave.SetBuffer(samples.data(), static_cast<unsigned>(frames), true);
        EXPECT_TRUE(wave.Save(file(name)));
        return file(name);
    }
    QByteArray exported(int slot, const QString& name)
    {
        cli({"export", QString::number(slot), file(name)});
        QFile in(file(name));
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        return in.readAll();
    }

    QTemporaryDir m_home;
    QProcessEnvironment m_environment;
    QProcess m_pedal;
};

// Every command a user runs, on the pedal's real MIDI ports.
TEST_F(JackEndToEnd, CommandsReachThePedalOverJack)
{
    const QJsonArray ports = QJsonDocument::fromJson(cli({"ports", "--json"})).array();
    ASSERT_EQ(ports.size(), 1);
    EXPECT_EQ(ports[0].toObject()["name"].toString(), "PULSE RING:PULSE RING");
    const QJsonObject info = QJsonDocument::fromJson(cli({"info", "--json"})).object();
    EXPECT_EQ(info["model"].toString(), "PULSE RING");

    cli({"import", "3", sweep("song.wav", 0.5), "--verify", "--quiet"});
    EXPECT_GT(exported(3, "song-export.wav").size(), 0.5 * 48000 * 3);  // 24-bit, mono at least
    cli({"delete", "3", "--yes", "--quiet"});
    EXPECT_TRUE(slot_line(3).toObject()["empty"].toBool());

    QString error;
    ASSERT_TRUE(
        write_pack_file(file("update.dat"), "10002",
                        {{"[FLASH 1]\nTYPE=0\nStart Address=0x2000\nEnd Address=0x3000\nSector Size=0x800\n",
                          QByteArray(0x900, '\x5a')}},
                        error))
        << error.toStdString();
    cli({"firmware", file("update.dat"), "--yes", "--quiet"});
}

// The pedal program killed in the middle of an import, as a pedal pulled out: the command
// fails at once and says why, and the pedal, plugged in again, still has the old song.
TEST_F(JackEndToEnd, PedalGoneDuringAnImportKeepsTheOldSong)
{
    cli({"import", "3", sweep("old.wav", 0.3), "--quiet"});
    const QByteArray old_song = exported(3, "old-export.wav");

    QProcess import;
    start_cli(import, {"import", "3", sweep("new.wav", 3), "--yes"});
    import.setReadChannel(QProcess::StandardError);
    QByteArray progress;
    while (!progress.contains("%") && import.waitForReadyRead(kProcessLimitMs))
        progress += import.readAllStandardError();
    ASSERT_TRUE(progress.contains("%")) << progress.toStdString();
    ::kill(static_cast<pid_t>(m_pedal.processId()), SIGKILL);
    ASSERT_TRUE(m_pedal.waitForFinished(kProcessLimitMs));
    ASSERT_TRUE(import.waitForFinished(kProcessLimitMs));
    EXPECT_EQ(import.exitCode(), 1);
    const QByteArray said = progress + import.readAllStandardError();
    // The step the link lost the pedal in ("FLASH erase failed!", "FLASH write failed!").
    EXPECT_TRUE(said.trimmed().endsWith("failed!")) << said.toStdString();

    start_pedal();
    EXPECT_EQ(exported(3, "after.wav"), old_song);
}

}  // namespace
