#include "audio/wave.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <vector>

namespace {

// The installed tool, run as a user would, each command its own process, on the demo
// pedal whose flash lives in a data folder of the test's own.
class CliDemo : public ::testing::Test {
protected:
    QByteArray run(const QStringList& arguments, int expected_code = 0)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_home.path());
        environment.insert("XDG_DATA_HOME", m_home.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        process.setProcessEnvironment(environment);
        process.start(TANDORA_CLI, QStringList({"--demo", "--demo-speed", "instant"}) + arguments);
        EXPECT_TRUE(process.waitForFinished(120000));
        EXPECT_EQ(process.exitCode(), expected_code) << process.readAllStandardError().toStdString();
        return process.readAllStandardOutput();
    }
    QString file(const QString& name) const { return m_home.filePath(name); }

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

    std::vector<int16_t> samples(30000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(9000 * std::sin(0.03 * double(i)));
    CWave wave;
    wave.BuildFormat(1, 44100, 16);
    wave.SetBuffer(samples.data(), static_cast<unsigned>(samples.size()), true);
    ASSERT_TRUE(wave.Save(file("tone.wav")));
    run({"import", "3", file("tone.wav")});
    run({"export", "3", file("first.wav")});
    run({"export", "3", file("second.wav")});
    const QByteArray first = read_file(file("first.wav"));
    EXPECT_GT(first.size(), 30000);
    EXPECT_EQ(first, read_file(file("second.wav")));

    run({"delete", "3", "--yes"});
    EXPECT_TRUE(QJsonDocument::fromJson(run({"list", "--json"})).array()[2].toObject()["empty"].toBool());
    // Started afresh, the pedal has only its starter songs again.
    run({"import", "3", file("tone.wav")});
    run({"list", "--demo-reset"});
    const QJsonArray reset = QJsonDocument::fromJson(run({"list", "--json"})).array();
    EXPECT_FALSE(reset[0].toObject()["empty"].toBool());
    EXPECT_TRUE(reset[2].toObject()["empty"].toBool());
}
