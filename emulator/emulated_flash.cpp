#include "emulator/emulated_flash.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

constexpr uint8_t ERASED = 0xFF;
constexpr uint8_t HALF_ERASED_BITS = 0x55;

// Calls visit(page, offset in page, byte count) for each page piece of the range, in order.
template <typename Visit>
void walk_pages(uint32_t page_size, uint32_t address, uint32_t length, Visit visit)
{
    while (length > 0) {
        const uint32_t offset = address % page_size;
        const uint32_t count = std::min(length, page_size - offset);
        visit(static_cast<size_t>(address / page_size), offset, count);
        address += count;
        length -= count;
    }
}

}  // namespace

CEmulatedFlash::CEmulatedFlash(const SFlashGeometry& geometry) : m_geometry(geometry)
{
    if (geometry.page_size == 0 || geometry.erase_unit_size == 0 ||
        geometry.erase_unit_size % geometry.page_size != 0)
        throw std::invalid_argument("flash geometry: the erase unit must be a whole number of pages");
    m_pages_per_unit = geometry.erase_unit_size / geometry.page_size;
    m_pages.resize(static_cast<size_t>(m_pages_per_unit) * geometry.unit_count);
}

uint64_t CEmulatedFlash::size() const
{
    return static_cast<uint64_t>(m_geometry.erase_unit_size) * m_geometry.unit_count;
}

bool CEmulatedFlash::contains(uint32_t address, uint64_t length) const
{
    return static_cast<uint64_t>(address) + length <= size() && address < size();
}

bool CEmulatedFlash::change_unit(uint32_t address, const std::function<void(PageBytes&)>& change)
{
    if (!contains(address, 1))
        return false;
    const size_t first = static_cast<size_t>(address / m_geometry.erase_unit_size) * m_pages_per_unit;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (size_t page = first; page < first + m_pages_per_unit; ++page)
        change(m_pages[page]);
    return true;
}

bool CEmulatedFlash::erase(uint32_t address)
{
    return change_unit(address, [this](PageBytes& page) {
        if (page) {
            page.reset();
            --m_stored_pages;
        }
    });
}

bool CEmulatedFlash::erase_half_way(uint32_t address)
{
    return change_unit(address, [this](PageBytes& page) {
        for (uint32_t i = 0; page && i < m_geometry.page_size; ++i)
            page[i] |= HALF_ERASED_BITS;
    });
}

bool CEmulatedFlash::program(uint32_t address, const uint8_t* data, uint32_t length)
{
    if (!contains(address, length))
        return length == 0;
    const uint32_t page_size = m_geometry.page_size;
    std::lock_guard<std::mutex> lock(m_mutex);
    walk_pages(page_size, address, length, [&](size_t page, uint32_t offset, uint32_t count) {
        auto& stored = m_pages[page];
        if (stored) {
            ++m_double_programs;
            uint8_t* target = stored.get() + offset;
            for (uint32_t i = 0; i < count; ++i)
                target[i] &= data[i];
        } else {
            stored.reset(new uint8_t[page_size]);
            std::memset(stored.get(), ERASED, page_size);
            std::memcpy(stored.get() + offset, data, count);
            ++m_stored_pages;
        }
        data += count;
    });
    return true;
}

bool CEmulatedFlash::read(uint32_t address, uint8_t* out, uint32_t length) const
{
    if (!contains(address, length))
        return length == 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    walk_pages(m_geometry.page_size, address, length, [&](size_t page, uint32_t offset, uint32_t count) {
        if (m_pages[page])
            std::memcpy(out, m_pages[page].get() + offset, count);
        else
            std::memset(out, ERASED, count);
        out += count;
    });
    return true;
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
    std::lock_guard<std::mutex> lock(m_mutex);
    walk_pages(m_geometry.page_size, address, length, [&](size_t page, uint32_t offset, uint32_t count) {
        if (m_pages[page]) {
            const uint8_t* bytes = m_pages[page].get() + offset;
            for (uint32_t i = 0; i < count; ++i)
                total += bytes[i];
        } else {
            total += ERASED * count;
        }
    });
    sum = static_cast<uint16_t>(total);
    return true;
}

void CEmulatedFlash::erase_all()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& page : m_pages)
        page.reset();
    m_stored_pages = 0;
    m_double_programs = 0;
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

void CEmulatedFlash::for_each_stored_page(const std::function<void(uint32_t, const uint8_t*)>& visit) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (size_t page = 0; page < m_pages.size(); ++page) {
        if (m_pages[page])
            visit(static_cast<uint32_t>(page), m_pages[page].get());
    }
}

bool CEmulatedFlash::restore_page(uint32_t page, const uint8_t* data, uint32_t length)
{
    if (page >= m_pages.size() || length > m_geometry.page_size)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto& stored = m_pages[page];
    if (!stored) {
        stored.reset(new uint8_t[m_geometry.page_size]);
        ++m_stored_pages;
    }
    std::memset(stored.get(), ERASED, m_geometry.page_size);
    if (length > 0)
        std::memcpy(stored.get(), data, length);
    return true;
}
