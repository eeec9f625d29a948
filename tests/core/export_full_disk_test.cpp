#include "core/song_commands/song_operations.h"
#include "core_pedal.h"

#include <QDir>
#include <QFile>

#if defined(__linux__)
#include <sys/mount.h>
#endif

namespace {

const QByteArray kOldFile(4096, '\x5A');

// A file system of `bytes` mounted on a fresh folder for the object's life, where the
// process may mount one (root on Linux); elsewhere `mounted()` is false.
class CSmallFileSystem {
public:
    explicit CSmallFileSystem(const QString& folder, unsigned int bytes) : m_folder(folder)
    {
#if defined(__linux__)
        const QByteArray options = "size=" + QByteArray::number(bytes);
        m_mounted = QDir().mkpath(folder) &&
                    ::mount("tmpfs", folder.toLocal8Bit().constData(), "tmpfs", 0, options.constData()) == 0;
#else
        (void)bytes;
#endif
    }
    ~CSmallFileSystem()
    {
#if defined(__linux__)
        if (m_mounted)
            ::umount(m_folder.toLocal8Bit().constData());
#endif
    }
    CSmallFileSystem(const CSmallFileSystem&) = delete;
    CSmallFileSystem& operator=(const CSmallFileSystem&) = delete;

    bool mounted() const
    {
        return m_mounted;
    }
    QString file(const QString& name) const
    {
        return m_folder + '/' + name;
    }

    // Writes a file of `name` until the file system takes no more.
    void fill(const QString& name) const
    {
        QFile filler(file(name));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(1024, '\0');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }

private:
    QString m_folder;
    bool m_mounted = false;
};

QByteArray contents(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

}  // namespace

// An export over an existing file on a full file system fails and leaves the old file as
// it was, with nothing else left beside it; with room again the same export replaces it.
TEST_F(CorePedal, ExportOverAFileOnAFullFileSystemKeepsTheOldFile)
{
    connect(kPulseRing);
    write_tone(file("tone.wav"), 20000);
    ASSERT_TRUE(import_song_unasked(m_session, file("tone.wav"), 0, SImportSettings{}, nullptr).ok());
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);

    const CSmallFileSystem disk(file("small"), 256 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "no small file system can be mounted here";
    {
        QFile old(disk.file("song.wav"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        ASSERT_EQ(old.write(kOldFile), kOldFile.size());
    }
    disk.fill("filler");

    EXPECT_FALSE(export_song(m_session, 0, disk.file("song.wav"), nullptr).ok());
    EXPECT_EQ(contents(disk.file("song.wav")), kOldFile);
    EXPECT_EQ(QDir(file("small")).entryList(QDir::Files | QDir::Hidden), QStringList({"filler", "song.wav"}));

    ASSERT_TRUE(QFile::remove(disk.file("filler")));
    EXPECT_TRUE(export_song(m_session, 0, disk.file("song.wav"), nullptr).ok());
    EXPECT_NE(contents(disk.file("song.wav")), kOldFile);
}
