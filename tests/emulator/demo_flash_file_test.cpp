#include "emulator/demo_flash_file.h"
#include "emulator/pedal_emulator.h"
#include "emulator/pedal_wire.h"
#include "hex_diff.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using Pages = std::vector<std::pair<uint32_t, Bytes>>;

Pages stored_pages(const CEmulatedFlash& flash)
{
    Pages pages;
    flash.for_each_stored_page([&](uint32_t page, const uint8_t* bytes) {
        pages.emplace_back(page, Bytes(bytes, bytes + flash.geometry().page_size));
    });
    return pages;
}

Bytes file_bytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return Bytes(bytes.begin(), bytes.end());
}

void write_file_bytes(const QString& path, const Bytes& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())),
              static_cast<qint64>(bytes.size()));
}

// A PULSE RING with emulated pedals' usual geometry, its flash written directly.
class DemoFlashFileTest : public ::testing::Test {
protected:
    std::unique_ptr<CPedalEmulator> make_pedal(uint32_t product_id = 0x2712)
    {
        SPedalConfig config;
        config.product_id = product_id;
        config.plugged = false;
        return std::make_unique<CPedalEmulator>(system, config);
    }
    // Song-like pages: 4032 data bytes and an unwritten tail, a page programmed with
    // erased bytes only, pages in blocks far apart, and a changed program flash sector.
    static void fill(CPedalEmulator& pedal)
    {
        Bytes data(4032);
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<uint8_t>(i * 7 + 1);
        for (uint32_t page : {0u, 1u, 63u, 64u * 1999 + 5})
            ASSERT_TRUE(pedal.nand().program(page * 4096, data.data(), static_cast<uint32_t>(data.size())));
        const Bytes erased(16, 0xFF);
        ASSERT_TRUE(pedal.nand().program(64 * 100 * 4096, erased.data(), 16));
        const Bytes firmware = hex_bytes("01 02 03 04 00 FF 00");
        ASSERT_TRUE(pedal.program_flash().program(0x10000, firmware.data(), 7));
    }
    QString path() const { return dir.filePath("demo-pedal.flash"); }

    QTemporaryDir dir;
    CVirtualMidiSystem system;
};

TEST_F(DemoFlashFileTest, SavedFlashLoadsIdenticallyIntoAnotherPedal)
{
    auto first = make_pedal();
    fill(*first);
    {
        CDemoFlashFile file(path());
        ASSERT_EQ(file.lock(), EDemoFlashResult::OK);
        ASSERT_EQ(file.save(*first), EDemoFlashResult::OK);
    }
    auto second = make_pedal();
    CDemoFlashFile file(path());
    ASSERT_EQ(file.lock(), EDemoFlashResult::OK);
    ASSERT_EQ(file.load(*second), EDemoFlashResult::OK);
    EXPECT_EQ(stored_pages(second->nand()), stored_pages(first->nand()));
    EXPECT_EQ(stored_pages(second->program_flash()), stored_pages(first->program_flash()));
    EXPECT_EQ(second->nand().stored_page_count(), 5u);

    // Saved again, the second pedal gives the same file byte for byte.
    const Bytes saved_first = file_bytes(path());
    ASSERT_EQ(file.save(*second), EDemoFlashResult::OK);
    EXPECT_EQ(file_bytes(path()), saved_first) << hex_diff(file_bytes(path()), saved_first);
}

// Header 16, two chip headers with end marks 2 x 16, CRC 4; each page 8 + its bytes up to
// the last one not erased: 4032 for the song pages, none for the erased one, 2048 for the
// device information sector (its tail is the rest of the old sector, erased).
TEST_F(DemoFlashFileTest, FileKeepsOnlyProgrammedPagesWithoutTheirErasedTails)
{
    auto pedal = make_pedal();
    fill(*pedal);
    CDemoFlashFile file(path());
    ASSERT_EQ(file.lock(), EDemoFlashResult::OK);
    ASSERT_EQ(file.save(*pedal), EDemoFlashResult::OK);
    const Bytes info_sector = pedal->program_flash().read(0x2000, 2048);
    size_t info_kept = info_sector.size();
    while (info_kept > 0 && info_sector[info_kept - 1] == 0xFF)
        --info_kept;
    const size_t expected = 16 + 2 * 16 + 4 + (8 + info_kept) + (8 + 11) + (8 + 7) + 5 * 8 + 4 * 4032;
    EXPECT_EQ(file_bytes(path()).size(), expected);
}

TEST_F(DemoFlashFileTest, SecondProgramFindsTheDemoPedalInUse)
{
    auto pedal = make_pedal();
    CDemoFlashFile owner(path());
    CDemoFlashFile other(path());
    ASSERT_EQ(owner.lock(), EDemoFlashResult::OK);
    EXPECT_EQ(other.lock(), EDemoFlashResult::IN_USE);
    EXPECT_EQ(demo_flash_result_text(other.lock()), "The demo pedal is in use by another Tandora program.");
    EXPECT_EQ(other.save(*pedal), EDemoFlashResult::NOT_LOCKED);
    EXPECT_EQ(other.load(*pedal), EDemoFlashResult::NOT_LOCKED);
    EXPECT_FALSE(QFile::exists(path()));

    owner.unlock();
    EXPECT_EQ(other.lock(), EDemoFlashResult::OK);
    EXPECT_EQ(other.load(*pedal), EDemoFlashResult::NO_FILE);
}

TEST_F(DemoFlashFileTest, LockInAMissingFolderFails)
{
    CDemoFlashFile file(dir.filePath("missing/demo-pedal.flash"));
    EXPECT_EQ(file.lock(), EDemoFlashResult::LOCK_FAILED);
    EXPECT_FALSE(file.is_locked());
}

TEST_F(DemoFlashFileTest, ResetStartsAfreshWithTheDeviceInformationKept)
{
    auto pedal = make_pedal();
    const Bytes info = pedal->program_flash().read(PEDAL_DEVICE_INFO_ADDRESS, 16);
    fill(*pedal);
    CDemoFlashFile file(path());
    ASSERT_EQ(file.lock(), EDemoFlashResult::OK);
    ASSERT_EQ(file.save(*pedal), EDemoFlashResult::OK);
    ASSERT_EQ(file.reset(*pedal), EDemoFlashResult::OK);
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_EQ(pedal->nand().stored_page_count(), 0u);
    EXPECT_EQ(pedal->program_flash().stored_page_count(), 1u);
    EXPECT_EQ(pedal->program_flash().read(PEDAL_DEVICE_INFO_ADDRESS, 16), info);
    EXPECT_EQ(file.load(*pedal), EDemoFlashResult::NO_FILE);
}

// Damaged files, each refused with its result and without touching the pedal.
struct SDamage {
    const char* name;
    std::function<void(Bytes&)> damage;
    bool fix_crc;  // the damage is inside a file whose CRC is made right again
    EDemoFlashResult expected;
};

void put_word(Bytes& bytes, size_t at, uint32_t value)
{
    for (unsigned i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void fix_crc(Bytes& bytes)
{
    const size_t body = bytes.size() - 4;
    put_word(bytes, body,
             static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), bytes.data(), static_cast<uInt>(body))));
}

// The program flash chip starts at 16; its first page record at 28.
constexpr size_t kFirstRecord = 28;

size_t first_nand_record(const Bytes& b)
{
    size_t at = kFirstRecord;
    while (pedal_wire::get_le(&b[at], 4) != 0xFFFFFFFF)
        at += 8 + pedal_wire::get_le(&b[at + 4], 4);
    return at + 4 + 12;
}

class DemoFlashDamageTest : public DemoFlashFileTest, public ::testing::WithParamInterface<SDamage> {};

TEST_P(DemoFlashDamageTest, DamagedFileIsRefusedAndThePedalKept)
{
    auto source = make_pedal();
    fill(*source);
    CDemoFlashFile file(path());
    ASSERT_EQ(file.lock(), EDemoFlashResult::OK);
    ASSERT_EQ(file.save(*source), EDemoFlashResult::OK);
    Bytes bytes = file_bytes(path());
    GetParam().damage(bytes);
    if (GetParam().fix_crc)
        fix_crc(bytes);
    write_file_bytes(path(), bytes);

    auto pedal = make_pedal();
    const Bytes page(100, 0x11);
    ASSERT_TRUE(pedal->nand().program(4096 * 7, page.data(), 100));
    const Pages before = stored_pages(pedal->nand());
    EXPECT_EQ(file.load(*pedal), GetParam().expected);
    EXPECT_EQ(stored_pages(pedal->nand()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DemoFlashDamageTest,
    ::testing::Values(
        SDamage{"Empty", [](Bytes& b) { b.clear(); }, false, EDemoFlashResult::CORRUPT},
        SDamage{"HeaderOnly", [](Bytes& b) { b.resize(16); }, false, EDemoFlashResult::CORRUPT},
        SDamage{"CutInAPage", [](Bytes& b) { b.resize(b.size() / 2); }, false, EDemoFlashResult::CORRUPT},
        SDamage{"CrcMissing", [](Bytes& b) { b.resize(b.size() - 4); }, false, EDemoFlashResult::CORRUPT},
        SDamage{"OneByteChanged", [](Bytes& b) { b[b.size() - 100] ^= 0x01; }, false,
                EDemoFlashResult::CORRUPT},
        SDamage{"NotAFlashFile", [](Bytes& b) { b[0] = 'X'; }, true, EDemoFlashResult::CORRUPT},
        SDamage{"NewerVersion", [](Bytes& b) { put_word(b, 8, 2); }, false, EDemoFlashResult::NEWER_VERSION},
        SDamage{"VersionZero", [](Bytes& b) { put_word(b, 8, 0); }, true, EDemoFlashResult::CORRUPT},
        SDamage{"OneChip", [](Bytes& b) { put_word(b, 12, 1); }, true, EDemoFlashResult::CORRUPT},
        SDamage{"OtherGeometry", [](Bytes& b) { put_word(b, 24, 511); }, true, EDemoFlashResult::OTHER_MODEL},
        SDamage{"PageOffTheChip", [](Bytes& b) { put_word(b, kFirstRecord, 512); }, true,
                EDemoFlashResult::CORRUPT},
        SDamage{"PageLongerThanAPage", [](Bytes& b) { put_word(b, kFirstRecord + 4, 2049); }, true,
                EDemoFlashResult::CORRUPT},
        SDamage{"PagesOutOfOrder",
                [](Bytes& b) {
                    // The NAND's second record names the page of its first.
                    put_word(b, first_nand_record(b) + 8 + 4032, 0);
                },
                true, EDemoFlashResult::CORRUPT},
        SDamage{"TrailingBytes", [](Bytes& b) { b.insert(b.end() - 4, 3, 0); }, true,
                EDemoFlashResult::CORRUPT}),
    [](const ::testing::TestParamInfo<SDamage>& info) { return std::string(info.param.name); });

}  // namespace
