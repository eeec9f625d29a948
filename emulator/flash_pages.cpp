#include "emulator/flash_pages.h"

#include <cstring>
#include <vector>

namespace {

class CMemoryFlashPages final : public CFlashPages {
public:
    explicit CMemoryFlashPages(const SFlashGeometry& geometry)
        : m_page_size(geometry.page_size), m_pages(geometry.page_count())
    {
    }

    bool holds(uint32_t page) const override { return m_pages[page] != nullptr; }
    bool load(uint32_t page, uint8_t* out) const override
    {
        std::memcpy(out, m_pages[page].get(), m_page_size);
        return true;
    }
    bool store(uint32_t page, const uint8_t* bytes) override
    {
        auto& stored = m_pages[page];
        if (!stored)
            stored.reset(new uint8_t[m_page_size]);
        std::memcpy(stored.get(), bytes, m_page_size);
        return true;
    }
    bool drop(uint32_t first, uint32_t count) override
    {
        for (uint32_t page = first; page < first + count; ++page)
            m_pages[page].reset();
        return true;
    }

private:
    uint32_t m_page_size;
    std::vector<std::unique_ptr<uint8_t[]>> m_pages;  // null: erased
};

}  // namespace

std::unique_ptr<CFlashPages> memory_flash_pages(const SFlashGeometry& geometry)
{
    return std::make_unique<CMemoryFlashPages>(geometry);
}
