#include "emulator/demo_flash_image.h"

#include "emulator/pedal_wire.h"

#include <zlib.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr char kMagic[8] = {'T', 'N', 'D', 'R', 'F', 'L', 'S', 'H'};
constexpr uint32_t kChipCount = 2;
constexpr uint32_t kEndOfChip = 0xFFFFFFFF;
constexpr uint8_t kErased = 0xFF;
constexpr size_t kHeaderBytes = sizeof(kMagic) + 4 + 4;
constexpr size_t kCrcBytes = 4;

uint32_t crc_of(uint32_t crc, const uint8_t* data, size_t size)
{
    // zlib takes at most 4 GiB - 1 per call.
    while (size > 0) {
        const auto part = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
        crc = static_cast<uint32_t>(crc32(crc, data, part));
        data += part;
        size -= part;
    }
    return crc;
}

// Forwards to the caller's sink and keeps the running CRC.
class CImageWriter {
public:
    explicit CImageWriter(const std::function<bool(const uint8_t*, size_t)>& sink) : m_sink(sink) {}

    void bytes(const uint8_t* data, size_t size)
    {
        if (!m_ok || size == 0)
            return;
        m_crc = crc_of(m_crc, data, size);
        m_ok = m_sink(data, size);
    }
    void word(uint32_t value)
    {
        std::vector<uint8_t> field;
        pedal_wire::put_le(field, value, 4);
        bytes(field.data(), field.size());
    }
    bool finish()
    {
        const uint32_t crc = m_crc;
        word(crc);
        return m_ok;
    }

private:
    const std::function<bool(const uint8_t*, size_t)>& m_sink;
    uint32_t m_crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
    bool m_ok = true;
};

void write_chip(CImageWriter& out, const CEmulatedFlash& chip)
{
    const SFlashGeometry& geometry = chip.geometry();
    out.word(geometry.erase_unit_size);
    out.word(geometry.page_size);
    out.word(geometry.unit_count);
    chip.for_each_stored_page([&](uint32_t page, const uint8_t* bytes) {
        uint32_t kept = geometry.page_size;
        while (kept > 0 && bytes[kept - 1] == kErased)
            --kept;
        out.word(page);
        out.word(kept);
        out.bytes(bytes, kept);
    });
    out.word(kEndOfChip);
}

// Walks an image whose header and CRC were checked; with `apply`, restores the pages too.
class CImageReader {
public:
    CImageReader(const uint8_t* data, size_t size) : m_at(data), m_end(data + size) {}

    EDemoFlashResult chip(CEmulatedFlash& chip, bool apply)
    {
        uint32_t erase_unit_size = 0;
        uint32_t page_size = 0;
        uint32_t unit_count = 0;
        if (!word(erase_unit_size) || !word(page_size) || !word(unit_count))
            return EDemoFlashResult::CORRUPT;
        const SFlashGeometry& geometry = chip.geometry();
        if (erase_unit_size != geometry.erase_unit_size || page_size != geometry.page_size ||
            unit_count != geometry.unit_count)
            return EDemoFlashResult::OTHER_MODEL;
        if (apply)
            chip.erase_all();
        uint64_t next_page = 0;  // pages come in ascending order, each once
        for (;;) {
            uint32_t page = 0;
            uint32_t length = 0;
            if (!word(page))
                return EDemoFlashResult::CORRUPT;
            if (page == kEndOfChip)
                return EDemoFlashResult::OK;
            if (page < next_page || page >= chip.page_count() || !word(length) || length > page_size ||
                static_cast<size_t>(m_end - m_at) < length)
                return EDemoFlashResult::CORRUPT;
            if (apply && !chip.restore_page(page, m_at, length))
                return EDemoFlashResult::CORRUPT;
            m_at += length;
            next_page = uint64_t{page} + 1;
        }
    }
    bool at_end() const { return m_at == m_end; }

private:
    bool word(uint32_t& value)
    {
        if (m_end - m_at < 4)
            return false;
        value = pedal_wire::get_le(m_at, 4);
        m_at += 4;
        return true;
    }

    const uint8_t* m_at;
    const uint8_t* m_end;
};

EDemoFlashResult walk_image(const uint8_t* data, size_t size, CEmulatedFlash& program_flash,
                            CEmulatedFlash& nand, bool apply)
{
    CImageReader reader(data + kHeaderBytes, size - kHeaderBytes - kCrcBytes);
    for (CEmulatedFlash* chip : {&program_flash, &nand}) {
        const EDemoFlashResult result = reader.chip(*chip, apply);
        if (result != EDemoFlashResult::OK)
            return result;
    }
    return reader.at_end() ? EDemoFlashResult::OK : EDemoFlashResult::CORRUPT;
}

}  // namespace

QString demo_flash_result_text(EDemoFlashResult result)
{
    switch (result) {
        case EDemoFlashResult::OK:
            return QStringLiteral("The demo pedal's flash was saved or loaded.");
        case EDemoFlashResult::NO_FILE:
            return QStringLiteral("The demo pedal starts with empty flash.");
        case EDemoFlashResult::IN_USE:
            return QStringLiteral("The demo pedal is in use by another Tandora program.");
        case EDemoFlashResult::LOCK_FAILED:
            return QStringLiteral("The demo pedal's lock file could not be created.");
        case EDemoFlashResult::NOT_LOCKED:
            return QStringLiteral("The demo pedal's flash file is not locked by this program.");
        case EDemoFlashResult::READ_FAILED:
            return QStringLiteral("The demo pedal's flash file could not be read.");
        case EDemoFlashResult::WRITE_FAILED:
            return QStringLiteral("The demo pedal's flash file could not be written.");
        case EDemoFlashResult::CORRUPT:
            return QStringLiteral(
                "The demo pedal's flash file is damaged and was not loaded; reset the demo pedal "
                "to start afresh.");
        case EDemoFlashResult::NEWER_VERSION:
            return QStringLiteral("The demo pedal's flash file was written by a newer Tandora program.");
        case EDemoFlashResult::OTHER_MODEL:
            return QStringLiteral("The demo pedal's flash file belongs to another pedal model.");
    }
    return QStringLiteral("Unknown demo pedal flash result.");
}

bool write_flash_image(const CEmulatedFlash& program_flash, const CEmulatedFlash& nand,
                       const std::function<bool(const uint8_t*, size_t)>& sink)
{
    CImageWriter out(sink);
    out.bytes(reinterpret_cast<const uint8_t*>(kMagic), sizeof(kMagic));
    out.word(kDemoFlashImageVersion);
    out.word(kChipCount);
    write_chip(out, program_flash);
    write_chip(out, nand);
    return out.finish();
}

EDemoFlashResult read_flash_image(const uint8_t* data, size_t size, CEmulatedFlash& program_flash,
                                  CEmulatedFlash& nand)
{
    if (size < kHeaderBytes + kCrcBytes || std::memcmp(data, kMagic, sizeof(kMagic)) != 0)
        return EDemoFlashResult::CORRUPT;
    const uint32_t version = pedal_wire::get_le(data + sizeof(kMagic), 4);
    if (version > kDemoFlashImageVersion)
        return EDemoFlashResult::NEWER_VERSION;
    const size_t body = size - kCrcBytes;
    if (version == 0 || pedal_wire::get_le(data + sizeof(kMagic) + 4, 4) != kChipCount ||
        crc_of(static_cast<uint32_t>(crc32(0, nullptr, 0)), data, body) != pedal_wire::get_le(data + body, 4))
        return EDemoFlashResult::CORRUPT;
    const EDemoFlashResult checked = walk_image(data, size, program_flash, nand, false);
    if (checked != EDemoFlashResult::OK)
        return checked;
    return walk_image(data, size, program_flash, nand, true);
}
