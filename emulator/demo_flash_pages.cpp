#include "emulator/demo_flash_pages.h"

#include "support/little_endian.h"

#include <QDebug>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr uint64_t kBlock = 4096;
constexpr char kMagic[8] = {'T', 'N', 'D', 'R', 'F', 'L', 'S', 'H'};
constexpr uint32_t kChipCount = 2;
constexpr size_t kHeaderBytes = sizeof(kMagic) + 4 + 4 + kChipCount * 12;
constexpr uint32_t kPageMark = 0x45474150;  // "PAGE"
constexpr uint64_t kEntryBytes = 8;

uint32_t crc_of(const uint8_t* data, size_t length)
{
    return static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), data, static_cast<uInt>(length)));
}

uint64_t round_up(uint64_t value)
{
    return (value + kBlock - 1) / kBlock * kBlock;
}

struct SChipPlace {
    uint64_t table;
    uint64_t data;
    uint64_t end;
};

SChipPlace chip_place(uint64_t start, const SFlashGeometry& geometry)
{
    const uint64_t data = round_up(start + kEntryBytes * geometry.page_count());
    return {start, data, round_up(data + uint64_t{geometry.page_count()} * geometry.page_size)};
}

std::array<SChipPlace, kChipCount> chip_places(const SDemoFlashChips& chips)
{
    const SChipPlace program_flash = chip_place(kBlock, chips.program_flash);
    return {program_flash, chip_place(program_flash.end, chips.nand)};
}

std::array<uint8_t, kHeaderBytes + 4> header_of(const SDemoFlashChips& chips)
{
    std::array<uint8_t, kHeaderBytes + 4> header{};
    std::memcpy(header.data(), kMagic, sizeof(kMagic));
    uint8_t* at = LE::write32(header.data() + sizeof(kMagic), kDemoFlashFileVersion);
    at = LE::write32(at, kChipCount);
    for (const SFlashGeometry& chip : {chips.program_flash, chips.nand}) {
        at = LE::write32(at, chip.erase_unit_size);
        at = LE::write32(at, chip.page_size);
        at = LE::write32(at, chip.unit_count);
    }
    LE::write32(at, crc_of(header.data(), kHeaderBytes));
    return header;
}

// One chip's pages in the file; `checks[page]` is the CRC of a held page.
class CFilePages final : public CFlashPages {
public:
    CFilePages(std::shared_ptr<CPageFile> file, const SFlashGeometry& geometry, const SChipPlace& place,
               std::vector<bool> held, std::vector<uint32_t> checks)
        : m_file(std::move(file)),
          m_page_size(geometry.page_size),
          m_place(place),
          m_held(std::move(held)),
          m_checks(std::move(checks))
    {
    }

    bool holds(uint32_t page) const override { return m_held[page]; }

    bool load(uint32_t page, uint8_t* out) const override
    {
        if (page == m_last_page) {
            std::copy(m_last_bytes.begin(), m_last_bytes.end(), out);
            return true;
        }
        if (!m_file->read_at(data_offset(page), out, m_page_size))
            return fail(demo_flash_result_text(EDemoFlashResult::READ_FAILED) + ' ' + m_file->error());
        if (crc_of(out, m_page_size) != m_checks[page])
            return fail(
                QStringLiteral("The demo pedal's flash file is damaged at page %1 of a chip.").arg(page));
        return true;
    }

    bool store(uint32_t page, const uint8_t* bytes) override
    {
        const uint32_t check = crc_of(bytes, m_page_size);
        uint8_t entry[kEntryBytes];
        LE::write32(LE::write32(entry, kPageMark), check);
        if (!m_file->write_at(data_offset(page), bytes, m_page_size) ||
            !m_file->write_at(m_place.table + kEntryBytes * page, entry, sizeof(entry)))
            return fail(demo_flash_result_text(EDemoFlashResult::WRITE_FAILED) + ' ' + m_file->error());
        m_held[page] = true;
        m_checks[page] = check;
        m_last_bytes.assign(bytes, bytes + m_page_size);
        m_last_page = page;
        return true;
    }

    bool drop(uint32_t first, uint32_t count) override
    {
        const std::vector<uint8_t> erased(kEntryBytes * count, 0);
        if (!m_file->write_at(m_place.table + kEntryBytes * first, erased.data(), erased.size()))
            return fail(demo_flash_result_text(EDemoFlashResult::WRITE_FAILED) + ' ' + m_file->error());
        for (uint32_t page = first; page < first + count; ++page)
            m_held[page] = false;
        if (m_last_page >= first && m_last_page - first < count)
            m_last_page = kNoPage;
        if (!m_file->punch(data_offset(first), uint64_t{count} * m_page_size) ||
            !punch_empty_table(first, count))
            return fail(demo_flash_result_text(EDemoFlashResult::WRITE_FAILED) + ' ' + m_file->error());
        return true;
    }

private:
    uint64_t data_offset(uint32_t page) const { return m_place.data + uint64_t{page} * m_page_size; }

    // Frees the table's blocks around [first, first + count) that hold no page any more.
    bool punch_empty_table(uint32_t first, uint32_t count)
    {
        constexpr uint64_t kEntriesPerBlock = kBlock / kEntryBytes;
        for (uint64_t block = first / kEntriesPerBlock; block * kEntriesPerBlock < uint64_t{first} + count;
             ++block) {
            const auto begin = m_held.begin() + static_cast<std::ptrdiff_t>(block * kEntriesPerBlock);
            const auto end = m_held.begin() + static_cast<std::ptrdiff_t>(std::min<uint64_t>(
                                                  (block + 1) * kEntriesPerBlock, m_held.size()));
            if (std::find(begin, end, true) == end && !m_file->punch(m_place.table + block * kBlock, kBlock))
                return false;
        }
        return true;
    }

    // The pedal has no words for a file: the reason goes to the program's log.
    static bool fail(const QString& text)
    {
        qWarning().noquote() << text;
        return false;
    }

    std::shared_ptr<CPageFile> m_file;
    uint32_t m_page_size;
    SChipPlace m_place;
    std::vector<bool> m_held;
    std::vector<uint32_t> m_checks;
    // The page stored last, as it went to the file: a host's verify reads it back at once.
    static constexpr uint32_t kNoPage = UINT32_MAX;
    uint32_t m_last_page = kNoPage;
    std::vector<uint8_t> m_last_bytes;
};

EDemoFlashResult read_table(const std::shared_ptr<CPageFile>& file, const SFlashGeometry& geometry,
                            const SChipPlace& place, std::unique_ptr<CFlashPages>& pages)
{
    const uint32_t count = geometry.page_count();
    std::vector<uint8_t> table(kEntryBytes * count);
    if (!file->read_at(place.table, table.data(), table.size()))
        return EDemoFlashResult::READ_FAILED;
    std::vector<bool> held(count);
    std::vector<uint32_t> checks(count);
    for (uint32_t page = 0; page < count; ++page) {
        const uint8_t* entry = table.data() + kEntryBytes * page;
        const uint32_t mark = LE::read32(entry);
        checks[page] = LE::read32(entry + 4);
        held[page] = mark == kPageMark;
        if (!held[page] && (mark != 0 || checks[page] != 0))
            return EDemoFlashResult::CORRUPT;
    }
    // A table that does not fit its pages is found now, not at the first read of a page the
    // pedal needs: a damaged identity page would make it answer as an unknown device.
    std::vector<uint8_t> bytes(geometry.page_size);
    for (uint32_t page = 0; page < count; ++page) {
        if (!held[page])
            continue;
        if (!file->read_at(place.data + uint64_t{page} * geometry.page_size, bytes.data(), bytes.size()))
            return EDemoFlashResult::READ_FAILED;
        if (crc_of(bytes.data(), bytes.size()) != checks[page])
            return EDemoFlashResult::CORRUPT;
    }
    pages = std::make_unique<CFilePages>(file, geometry, place, std::move(held), std::move(checks));
    return EDemoFlashResult::OK;
}

}  // namespace

uint64_t demo_flash_file_size(const SDemoFlashChips& chips)
{
    return chip_places(chips).back().end;
}

bool start_demo_flash_file(CPageFile& file, const SDemoFlashChips& chips)
{
    const auto header = header_of(chips);
    return file.write_at(0, header.data(), header.size());
}

EDemoFlashResult open_demo_flash_pages(const std::shared_ptr<CPageFile>& file, const SDemoFlashChips& chips,
                                       SDemoFlashPages& pages)
{
    const auto expected = header_of(chips);
    std::array<uint8_t, expected.size()> header{};
    if (file->size() < header.size())
        return EDemoFlashResult::CORRUPT;
    if (!file->read_at(0, header.data(), header.size()))
        return EDemoFlashResult::READ_FAILED;
    if (std::memcmp(header.data(), kMagic, sizeof(kMagic)) != 0)
        return EDemoFlashResult::CORRUPT;
    const uint32_t version = LE::read32(header.data() + sizeof(kMagic));
    if (version > kDemoFlashFileVersion)
        return EDemoFlashResult::NEWER_VERSION;
    if (version != kDemoFlashFileVersion || LE::read32(header.data() + sizeof(kMagic) + 4) != kChipCount ||
        LE::read32(header.data() + kHeaderBytes) != crc_of(header.data(), kHeaderBytes))
        return EDemoFlashResult::CORRUPT;
    if (header != expected)
        return EDemoFlashResult::OTHER_MODEL;
    if (file->size() != demo_flash_file_size(chips))
        return EDemoFlashResult::CORRUPT;
    const auto places = chip_places(chips);
    const EDemoFlashResult program_flash =
        read_table(file, chips.program_flash, places[0], pages.program_flash);
    return program_flash == EDemoFlashResult::OK ? read_table(file, chips.nand, places[1], pages.nand)
                                                 : program_flash;
}
