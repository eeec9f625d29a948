#include "emulator/demo_flash_image.h"
#include "emulator/pedal_models.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// Loads arbitrary bytes as a demo pedal's flash file. On an odd first byte the rest is
// given the file's header and a right CRC, so most inputs get past both to the page
// records. The loader must refuse what is not sound, never crash or read outside the
// input, and leave the chips alone unless the whole file is sound.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Small chips, so a sound file loads fast.
    static CEmulatedFlash program_flash(pedal_program_flash_geometry());
    static CEmulatedFlash nand(SFlashGeometry{131072, 2048, 16});
    if (size == 0)
        return 0;
    std::vector<uint8_t> file;
    if (data[0] & 1) {
        static const uint8_t kHeader[16] = {'T', 'N', 'D', 'R', 'F', 'L', 'S', 'H', 1, 0, 0, 0, 2, 0, 0, 0};
        file.assign(kHeader, kHeader + sizeof(kHeader));
        file.insert(file.end(), data + 1, data + size);
        const auto crc =
            static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), file.data(), static_cast<uInt>(file.size())));
        for (unsigned i = 0; i < 4; ++i)
            file.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    } else {
        file.assign(data + 1, data + size);
    }
    static_cast<void>(read_flash_image(file.data(), file.size(), program_flash, nand));
    return 0;
}
