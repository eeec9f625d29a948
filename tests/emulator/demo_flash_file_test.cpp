#include "emulator/demo_flash_file.h"
#include "pedal_fixture.h"

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <functional>

namespace {

// The real file, with writes that fail while the disk is "full".
class CFullDiskFile final : public CPageFile {
public:
    CFullDiskFile(std::unique_ptr<CPageFile> file, const bool& full) : m_file(std::move(file)), m_full(full)
    {
    }
    uint64_t size() const override { return m_file->size(); }
    bool read_at(uint64_t offset, uint8_t* out, size_t length) override
    {
        return m_file->read_at(offset, out, length);
    }
    bool write_at(uint64_t offset, const uint8_t* data, size_t length) override
    {
        return !m_full && m_file->write_at(offset, data, length);
    }
    bool punch(uint64_t offset, uint64_t length) override { return m_file->punch(offset, length); }
    QString error() const override
    {
        return m_full ? QStringLiteral("No space left on device") : m_file->error();
    }

private:
    std::unique_ptr<CPageFile> m_file;
    const bool& m_full;
};

constexpr uint32_t kBlock = 262144;  // a PULSE RING erase unit of 64 pages of 4096 bytes

// A PULSE RING whose flash is kept in a file of the test's own folder.
class DemoFlashFileTest : public PedalTest {
protected:
    void SetUp() override { start(); }
    QString path() const { return dir.filePath("demo-pedal.flash"); }
    EDemoFlashResult open_file()
    {
        file = std::make_unique<CDemoFlashFile>(
            path(),
            [this](const QString& at, bool create, uint64_t size,
                   QString& error) -> std::unique_ptr<CPageFile> {
                auto real = open_page_file(at, create, size, error);
                return real ? std::make_unique<CFullDiskFile>(std::move(real), disk_full) : nullptr;
            });
        EXPECT_EQ(file->lock(), EDemoFlashResult::OK);
        return file->open(*pedal);
    }
    // The pedal let go and a new one opened on the same file.
    EDemoFlashResult reopen()
    {
        TearDown();
        file.reset();
        start();
        return open_file();
    }
    uint64_t disk_bytes() const
    {
        struct stat status {};
        EXPECT_EQ(::stat(QFile::encodeName(path()).constData(), &status), 0);
        return uint64_t(status.st_blocks) * 512;
    }

    QTemporaryDir dir;
    bool disk_full = false;
    std::unique_ptr<CDemoFlashFile> file;
};

TEST_F(DemoFlashFileTest, EveryChangeIsInTheFileAsItHappens)
{
    ASSERT_EQ(open_file(), EDemoFlashResult::NO_FILE);
    const Bytes info = pedal->program_flash().read(PEDAL_DEVICE_INFO_ADDRESS, 16);
    const Bytes song(5120, 0x5A);
    EXPECT_EQ(request(0x22, write(1, 3 * kBlock, song)), status(0));
    EXPECT_EQ(request(0x22, write(1, 9 * kBlock, song)), status(0));
    EXPECT_EQ(request(0x21, erase(1, 9 * kBlock)), status(0));

    ASSERT_EQ(reopen(), EDemoFlashResult::OK);
    EXPECT_EQ(pedal->nand().read(3 * kBlock, 5120), song);
    EXPECT_EQ(pedal->nand().read(9 * kBlock, 4), Bytes(4, 0xFF));
    EXPECT_EQ(pedal->nand().stored_page_count(), 2u);
    EXPECT_EQ(pedal->program_flash().read(PEDAL_DEVICE_INFO_ADDRESS, 16), info);
}

// Erased pages are holes: the file takes the programmed pages' room and little more, and
// gives it back on erase.
TEST_F(DemoFlashFileTest, FileTakesTheRoomOfTheProgrammedPagesOnly)
{
    ASSERT_EQ(open_file(), EDemoFlashResult::NO_FILE);
    const uint64_t empty = disk_bytes();
    const Bytes block(kBlock, 0x11);
    for (uint32_t unit = 0; unit < 40; unit += 2)
        ASSERT_TRUE(pedal->nand().program(unit * kBlock, block.data(), kBlock));
    const uint64_t programmed = 20ull * kBlock;
    EXPECT_LE(disk_bytes(), programmed + programmed / 10 + (1u << 20));
    for (uint32_t unit = 0; unit < 40; unit += 2)
        ASSERT_TRUE(pedal->nand().erase(unit * kBlock));
    EXPECT_LE(disk_bytes(), empty);
}

// A write the file cannot take fails on the wire, and the page is not kept.
TEST_F(DemoFlashFileTest, WriteTheFileCannotTakeFailsTheFlashOperation)
{
    ASSERT_EQ(open_file(), EDemoFlashResult::NO_FILE);
    disk_full = true;
    EXPECT_EQ(request(0x22, write(1, 0, Bytes(4096, 0x00))), status(6));
    disk_full = false;
    ASSERT_EQ(reopen(), EDemoFlashResult::OK);
    EXPECT_EQ(pedal->nand().stored_page_count(), 0u);
}

TEST_F(DemoFlashFileTest, SecondProgramFindsTheDemoPedalInUse)
{
    CDemoFlashFile owner(path());
    CDemoFlashFile other(path());
    ASSERT_EQ(owner.lock(), EDemoFlashResult::OK);
    EXPECT_EQ(other.lock(), EDemoFlashResult::IN_USE);
    EXPECT_EQ(other.open(*pedal), EDemoFlashResult::NOT_LOCKED);
    EXPECT_FALSE(QFile::exists(path()));
    owner.unlock();
    EXPECT_EQ(other.lock(), EDemoFlashResult::OK);
}

// Damage to a file, its page table or a page's bytes: refused at opening.
struct SDamage {
    const char* name;
    uint64_t at;  // offset of the changed little-endian word; 0: the file is cut short
    uint32_t word;
    EDemoFlashResult opened;
};

// Offsets: the header's version at 8 and the NAND's page size at 32; the program flash's
// table at 4096 and its pages at 8192; the NAND's table at 1 MiB + 8192, 8 bytes for each
// of its 128000 pages, and its pages right after.
constexpr uint64_t kNandTable = (1u << 20) + 8192;
constexpr uint64_t kNandPages = kNandTable + 128000 * 8;

class DemoFlashDamageTest : public DemoFlashFileTest, public ::testing::WithParamInterface<SDamage> {};

TEST_P(DemoFlashDamageTest, DamageIsFoundAndThePedalKept)
{
    ASSERT_EQ(open_file(), EDemoFlashResult::NO_FILE);
    const Bytes song(4096, 0x33);
    ASSERT_TRUE(pedal->nand().program(0, song.data(), 4096));
    const SDamage& damage = GetParam();
    TearDown();
    file.reset();
    {
        QFile bytes(path());
        ASSERT_TRUE(bytes.open(QIODevice::ReadWrite));
        if (damage.at == 0) {
            ASSERT_TRUE(bytes.resize(bytes.size() - 4096));
        } else {
            Bytes word;
            pedal_wire::put_le(word, damage.word, 4);
            ASSERT_TRUE(bytes.seek(qint64(damage.at)));
            ASSERT_EQ(bytes.write(reinterpret_cast<const char*>(word.data()), 4), 4);
        }
    }
    start();
    ASSERT_EQ(open_file(), damage.opened);
    EXPECT_EQ(pedal->nand().stored_page_count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DemoFlashDamageTest,
    ::testing::Values(SDamage{"CutShort", 0, 0, EDemoFlashResult::CORRUPT},
                      SDamage{"NotAFlashFile", 0x01, 0x58585858, EDemoFlashResult::CORRUPT},
                      SDamage{"OldVersion", 8, 1, EDemoFlashResult::CORRUPT},
                      SDamage{"NewerVersion", 8, 3, EDemoFlashResult::NEWER_VERSION},
                      SDamage{"HeaderChanged", 32, 2048, EDemoFlashResult::CORRUPT},
                      SDamage{"TableEntryChanged", kNandTable + 8, 1, EDemoFlashResult::CORRUPT},
                      SDamage{"PageCheckChanged", kNandTable + 4, 1, EDemoFlashResult::CORRUPT},
                      SDamage{"PageBytesChanged", kNandPages + 100, 0, EDemoFlashResult::CORRUPT}),
    [](const ::testing::TestParamInfo<SDamage>& info) { return std::string(info.param.name); });

}  // namespace
