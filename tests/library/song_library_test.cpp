#include "library/song_library.h"

#include "library/cached_file_hash.h"
#include "support/file_hash.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <set>

namespace {

constexpr uint32_t kPulseRing = 0x2712;

SLibrarySong song_at(unsigned slot, const QString& fingerprint)
{
    SLibrarySong song;
    song.product_id = kPulseRing;
    song.slot = slot;
    song.fingerprint = fingerprint;
    song.name = fingerprint;
    song.date = QDateTime::currentDateTimeUtc();
    return song;
}

// Records `count` songs one transaction each, fingerprints "<who>-<i>"; true when every
// write went through and nothing was reported to the user.
bool record_many(const QString& path, const QString& who, unsigned count)
{
    CSongLibrary library(path);
    bool all = true;
    for (unsigned i = 0; i < count; ++i)
        all = library.record(song_at(i, QStringLiteral("%1-%2").arg(who).arg(i)), {}) && all;
    return all && library.take_notes().isEmpty();
}

class SongLibraryFile : public ::testing::Test {
protected:
    QString path() const { return m_folder.filePath("library.sqlite"); }
    QTemporaryDir m_folder;
};

}  // namespace

// The window and the command-line tool write at the same moment, from a file neither has
// created yet: both wait their turn, and every row arrives.
TEST_F(SongLibraryFile, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr unsigned kEach = 60;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(record_many(path(), "child", kEach) ? 0 : 1);
    const bool parent_ok = record_many(path(), "parent", kEach);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(parent_ok);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    CSongLibrary library(path());
    std::set<QString> fingerprints;
    for (const SLibrarySong& song : library.songs_of(kPulseRing))
        fingerprints.insert(song.fingerprint);
    EXPECT_EQ(fingerprints.size(), 2 * kEach);
}

TEST_F(SongLibraryFile, DamagedFileIsSetAsideAndAFreshOneStarted)
{
    const QByteArray garbage("This was a library until a disk error.");
    const QString aside = path() + ".broken-" + QDate::currentDate().toString(Qt::ISODate);
    for (const QString& expected : {aside, aside + "-2"}) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(garbage);
        file.close();
        CSongLibrary library(path());
        EXPECT_TRUE(library.record(song_at(3, "fresh"), {}));
        EXPECT_EQ(library.find(kPulseRing, 3, "fresh")->name, "fresh");
        const QStringList notes = library.take_notes();
        ASSERT_EQ(notes.size(), 1);
        EXPECT_TRUE(notes[0].contains(QFileInfo(expected).fileName())) << notes[0].toStdString();
        QFile kept(expected);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), garbage);
        ASSERT_TRUE(QFile::remove(path()));
    }
}

// A row replaced on the pedal goes; rows of other pedals of the model with the same slot stay.
TEST_F(SongLibraryFile, RecordReplacesOnlyTheSongItOverwrote)
{
    CSongLibrary library(path());
    ASSERT_TRUE(library.record(song_at(0, "first pedal"), {}));
    ASSERT_TRUE(library.record(song_at(0, "second pedal"), {}));
    ASSERT_TRUE(library.record(song_at(0, "first pedal again"), "first pedal"));
    ASSERT_TRUE(library.rename(kPulseRing, 1, "unknown", "Named later"));
    std::set<QString> names;
    for (const SLibrarySong& song : library.songs_of(kPulseRing))
        names.insert(song.name);
    EXPECT_EQ(names, (std::set<QString>{"second pedal", "first pedal again", "Named later"}));
}

// A library written before the hash cache existed keeps its songs and gains the cache.
// A cached hash stands for the file only at the size and time it was cached at.
TEST_F(SongLibraryFile, OlderLibraryGainsTheHashCacheWhichFollowsSizeAndTime)
{
    {
        QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("version 1"));
        old.setDatabaseName(path());
        ASSERT_TRUE(old.open());
        QSqlQuery query(old);
        ASSERT_TRUE(
            query.exec("CREATE TABLE songs (product_id INTEGER NOT NULL, slot INTEGER NOT NULL, "
                       "fingerprint TEXT NOT NULL, name TEXT NOT NULL DEFAULT '', source_path TEXT NOT "
                       "NULL DEFAULT '', source_sha256 TEXT NOT NULL DEFAULT '', mono_mode TEXT NOT NULL "
                       "DEFAULT '', recorded TEXT NOT NULL, seconds REAL NOT NULL DEFAULT 0, "
                       "stored_bytes INTEGER NOT NULL DEFAULT 0, loudness_lufs REAL, loudness_range_lu "
                       "REAL, true_peak_dbtp REAL, loudness_setting TEXT NOT NULL DEFAULT '', gain_db "
                       "REAL, overview BLOB, PRIMARY KEY (product_id, slot, fingerprint))"));
        ASSERT_TRUE(
            query.exec("INSERT INTO songs (product_id, slot, fingerprint, name, recorded) VALUES "
                       "(10002, 4, 'f4', 'Intro jam', '2026-01-02T03:04:05Z')"));
        ASSERT_TRUE(query.exec("PRAGMA user_version = 1"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("version 1"));

    CSongLibrary library(path());
    ASSERT_EQ(library.find(kPulseRing, 4, "f4").value_or(SLibrarySong{}).name, "Intro jam");
    const QString song = m_folder.filePath("take.wav");
    QFile file(song);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("first take") == 10);
    file.close();
    const QFileInfo info(song);
    const qint64 modified_ms = info.lastModified().toMSecsSinceEpoch();
    // A hash no file has: returned, the file was not read again.
    ASSERT_TRUE(library.cache_sha256(info.absoluteFilePath(), 10, modified_ms, "cached"));
    EXPECT_EQ(cached_file_sha256(library, song), "cached");
    EXPECT_EQ(library.cached_sha256(info.absoluteFilePath(), 10, modified_ms + 1), "");

    ASSERT_TRUE(file.open(QIODevice::Append) && file.write(", longer") == 8);
    file.close();
    EXPECT_EQ(cached_file_sha256(library, song), file_sha256(song));
    EXPECT_TRUE(library.take_notes().isEmpty());
}

// Another program holds the write lock: the first write waits 2 seconds of the library's
// clock and gives up, the calls after it do not wait again, reads go on, the user is told
// once, and a write after the lock is gone goes through.
TEST_F(SongLibraryFile, BusyLibraryHoldsAnOperationUpTwoSecondsAtMost)
{
    CSongLibrary library(path());
    std::chrono::steady_clock::time_point now{};
    std::chrono::milliseconds paused{0};
    library.set_wait([&] { return now; },
                     [&](std::chrono::milliseconds span) {
                         now += span;
                         paused += span;
                     });
    ASSERT_TRUE(library.record(song_at(0, "a"), {}));
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(path());
        ASSERT_TRUE(other.open());
        ASSERT_TRUE(QSqlQuery(other).exec(QStringLiteral("BEGIN IMMEDIATE")));
        EXPECT_FALSE(library.record(song_at(1, "b"), {}));
        EXPECT_LE(paused, CSongLibrary::kBusyWait);
        EXPECT_GT(paused, CSongLibrary::kBusyWait - std::chrono::milliseconds(100));
        EXPECT_FALSE(library.rename(kPulseRing, 0, QStringLiteral("a"), QStringLiteral("renamed")));
        EXPECT_LE(paused, CSongLibrary::kBusyWait) << "a second call waited again";
        ASSERT_TRUE(library.find(kPulseRing, 0, QStringLiteral("a")));
        EXPECT_EQ(
            library.take_notes(),
            QStringList{"The song library is in use by another program; song names are not kept this time."});
        ASSERT_TRUE(QSqlQuery(other).exec(QStringLiteral("ROLLBACK")));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    EXPECT_TRUE(library.record(song_at(1, "b"), {}));
    EXPECT_TRUE(library.take_notes().isEmpty());
}
