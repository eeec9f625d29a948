#include "emulator/emulated_flash.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

constexpr uint8_t kErased = 0xFF;
constexpr uint8_t kHalfErasedBits = 0x55;

// Calls visit(page, offset in page, byte count) for each page piece of the range, in order,
// until a visit returns false; false then.
template <typename Visit>
bool walk_pages(uint32_t page_size, uint32_t address, uint32_t length, Visit visit)
{
    while (length > 0) {
        const uint32_t offset = address % page_size;
        const uint32_t count = std::min(length, page_size - offset);
        if (!visit(address / page_size, offset, count))
            return false;
        address += count;
        length -= count;
    }
    return true;
}

}  // namespace

CEmulatedFlash::CEmulatedFlash(const SFlashGeometry& geometry) : m_geometry(geometry)
{
    if (geometry.page_size == 0 || geometry.erase_unit_size == 0 ||
        geometry.erase_unit_size % geometry.page_size != 0)
        throw std::invalid_argument("flash geometry: the erase unit must be a whole number of pages");
    m_pages_per_unit = geometry.erase_unit_size / geometry.page_size;
    m_pages = memory_flash_pages(geometry);
}

uint64_t CEmulatedFlash::size() const
{
    return static_cast<uint64_t>(m_geometry.erase_unit_size) * m_geometry.unit_count;
}

bool CEmulatedFlash::contains(uint32_t address, uint64_t length) const
{
    return static_cast<uint64_t>(address) + length <= size() && address < size();
}

uint32_t CEmulatedFlash::unit_first_page(uint32_t address) const
{
    return address / m_geometry.erase_unit_size * m_pages_per_unit;
}

bool CEmulatedFlash::page_bytes(uint32_t page, uint8_t* out) const
{
    if (m_pages->holds(page))
        return m_pages->load(page, out);
    std::memset(out, kErased, m_geometry.page_size);
    return true;
}

bool CEmulatedFlash::keep_page(uint32_t page, const uint8_t* bytes)
{
    const bool held = m_pages->holds(page);
    if (!m_pages->store(page, bytes))
        return false;
    if (!held)
        ++m_stored_pages;
    return true;
}

bool CEmulatedFlash::drop_pages(uint32_t first, uint32_t count)
{
    uint32_t held = 0;
    for (uint32_t page = first; page < first + count; ++page)
        held += m_pages->holds(page) ? 1 : 0;
    if (!m_pages->drop(first, count))
        return false;
    m_stored_pages -= held;
    return true;
}

bool CEmulatedFlash::erase(uint32_t address)
{
    if (!contains(address, 1))
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    return drop_pages(unit_first_page(address), m_pages_per_unit);
}

bool CEmulatedFlash::erase_half_way(uint32_t address)
{
    if (!contains(address, 1))
        return false;
    const uint32_t first = unit_first_page(address);
    std::vector<uint8_t> bytes(m_geometry.page_size);
    std::lock_guard<std::mutex> lock(m_mutex);
    for (uint32_t page = first; page < first + m_pages_per_unit; ++page) {
        if (!m_pages->holds(page))
            continue;
        if (!m_pages->load(page, bytes.data()))
            return false;
        for (uint8_t& byte : bytes)
            byte |= kHalfErasedBits;
        if (!m_pages->store(page, bytes.data()))
            return false;
    }
    return true;
}

bool CEmulatedFlash::program(uint32_t address, const uint8_t* data, uint32_t length)
{
    if (!contains(address, length))
        return length == 0;
    std::vector<uint8_t> bytes(m_geometry.page_size);
    std::lock_guard<std::mutex> lock(m_mutex);
    return walk_pages(m_geometry.page_size, address, length,
                      [&](uint32_t page, uint32_t offset, uint32_t count) {
                          if (m_pages->holds(page))
                              ++m_double_programs;
                          if (!page_bytes(page, bytes.data()))
                              return false;
                          for (uint32_t i = 0; i < count; ++i)
                              bytes[offset + i] &= data[i];
                          data += count;
                          return keep_page(page, bytes.data());
                      });
}

bool CEmulatedFlash::read(uint32_t address, uint8_t* out, uint32_t length) const
{
    if (!contains(address, length))
        return length == 0;
    std::vector<uint8_t> bytes(m_geometry.page_size);
    std::lock_guard<std::mutex> lock(m_mutex);
    return walk_pages(m_geometry.page_size, address, length,
                      [&](uint32_t page, uint32_t offset, uint32_t count) {
                          if (!page_bytes(page, bytes.data()))
                              return false;
                          std::memcpy(out, bytes.data() + offset, count);
                          out += count;
                          return true;
                      });
}

std::vector<uint8_t> CEmulatedFlash::read(uint32_t address, uint32_t length) const
{
    std::vector<uint8_t> bytes(length);
    if (!read(address, bytes.data(), length))
        bytes.clear();
    return bytes;
}

bool CEmulatedFlash::sum16(uint32_t address, uint32_t length, uint16_t& sum) const
{
    if (!contains(address, length) && length != 0)
        return false;
    uint32_t total = 0;  // wraps at 2^32, a multiple of 2^16, so the low 16 bits stay right
    std::vector<uint8_t> bytes(m_geometry.page_size);
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool read = walk_pages(m_geometry.page_size, address, length,
                                 [&](uint32_t page, uint32_t offset, uint32_t count) {
                                     if (!m_pages->holds(page)) {
                                         total += kErased * count;
                                         return true;
                                     }
                                     if (!m_pages->load(page, bytes.data()))
                                         return false;
                                     for (uint32_t i = 0; i < count; ++i)
                                         total += bytes[offset + i];
                                     return true;
                                 });
    sum = static_cast<uint16_t>(total);
    return read;
}

bool CEmulatedFlash::erase_all()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_double_programs = 0;
    return drop_pages(0, page_count());
}

uint32_t CEmulatedFlash::double_program_count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_double_programs;
}

void CEmulatedFlash::reset_double_program_count()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_double_programs = 0;
}

uint32_t CEmulatedFlash::stored_page_count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stored_pages;
}

bool CEmulatedFlash::keep_pages_in(std::unique_ptr<CFlashPages> pages, bool adopt)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    uint32_t held = 0;
    std::vector<uint8_t> bytes(m_geometry.page_size);
    for (uint32_t page = 0; page < page_count(); ++page) {
        if (adopt) {
            held += pages->holds(page) ? 1 : 0;
            continue;
        }
        if (!m_pages->holds(page))
            continue;
        if (!m_pages->load(page, bytes.data()) || !pages->store(page, bytes.data()))
            return false;
        ++held;
    }
    m_pages = std::move(pages);
    m_stored_pages = held;
    return true;
}
