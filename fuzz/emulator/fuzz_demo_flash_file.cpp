#include "emulator/demo_flash_pages.h"
#include "emulator/pedal_models.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// The demo pedal's flash file in memory; it grows to take any write.
class CInputFile final : public CPageFile {
public:
    std::vector<uint8_t>& bytes() { return m_bytes; }
    uint64_t size() const override { return m_bytes.size(); }
    bool read_at(uint64_t offset, uint8_t* out, size_t length) override
    {
        if (offset > m_bytes.size() || length > m_bytes.size() - offset)
            return false;
        std::memcpy(out, m_bytes.data() + offset, length);
        return true;
    }
    bool write_at(uint64_t offset, const uint8_t* in, size_t length) override
    {
        m_bytes.resize(std::max<size_t>(m_bytes.size(), offset + length));
        std::memcpy(m_bytes.data() + offset, in, length);
        return true;
    }
    bool punch(uint64_t, uint64_t) override { return true; }
    QString error() const override { return {}; }

private:
    std::vector<uint8_t> m_bytes;
};

}  // namespace

// Opens arbitrary bytes as a demo pedal's flash file and reads every page it holds. On an
// odd first byte the rest follows a sound header and is padded to the file's size. Opening
// must refuse what is not sound, and reading must never go outside the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Small chips, so a sound file opens fast.
    static const SDemoFlashChips kChips{pedal_program_flash_geometry(), SFlashGeometry{131072, 2048, 16}};
    if (size == 0)
        return 0;
    auto file = std::make_shared<CInputFile>();
    std::vector<uint8_t>& bytes = file->bytes();
    if (data[0] & 1) {
        static_cast<void>(start_demo_flash_file(*file, kChips));
        bytes.resize(4096);
        bytes.insert(bytes.end(), data + 1, data + size);
        bytes.resize(std::max<size_t>(bytes.size(), demo_flash_file_size(kChips)), 0);
    } else {
        bytes.assign(data + 1, data + size);
    }
    SDemoFlashPages pages;
    if (open_demo_flash_pages(file, kChips, pages) != EDemoFlashResult::OK)
        return 0;
    std::vector<uint8_t> page(kChips.nand.page_size);
    for (uint32_t index = 0; index < kChips.nand.page_count(); ++index) {
        if (pages.nand->holds(index))
            static_cast<void>(pages.nand->load(index, page.data()));
    }
    return 0;
}
