// Feeds damaged packages to the package reader. The first byte picks how the rest of the
// input becomes a file:
//   0: the file itself;
//   1: the file with its header checksums made right, to get past them to the ranges;
//   2: patches (two bytes of offset, one byte XORed in) on a valid package from the
//      builder, then re-sealed: forged lengths and offsets over real, unpackable streams.
#include "firmware/pack_builder.h"
#include "firmware/pack_file.h"
#include "support/little_endian.h"
#include "support/neat.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace {

void reseal(QByteArray& file)
{
    auto* bytes = reinterpret_cast<unsigned char*>(file.data());
    const size_t size = static_cast<size_t>(file.size());
    const size_t count = size > PACK::COUNT_OFFSET ? bytes[PACK::COUNT_OFFSET] : 0;
    for (size_t k = 0; k <= count && (k + 1) * PACK::HEADER_SIZE <= size; ++k) {
        unsigned char* header = bytes + k * PACK::HEADER_SIZE;
        LE::write32(header + PACK::CHECKSUM_OFFSET, NEAT::GetChecksumByByte(header, PACK::CHECKED_SIZE));
    }
}

const QByteArray& valid_package()
{
    static const QByteArray package = [] {
        const QByteArray layout =
            "[FLASH 1]\nTYPE=0\nStart Address=0\nEnd Address=0x1000\nSector Size=0x400\n";
        QByteArray pattern(300, '\0');
        for (int i = 0; i < pattern.size(); ++i)
            pattern[i] = static_cast<char>(i * 7);
        QByteArray bytes;
        QString error;
        if (!make_pack_file("10001", {{layout, pattern}, {layout, {}}, {{}, QByteArray(2000, '\0')}}, bytes,
                            error))
            std::abort();
        return bytes;
    }();
    return package;
}

QByteArray file_from_input(const uint8_t* data, size_t size)
{
    QByteArray rest(reinterpret_cast<const char*>(data) + 1, static_cast<int>(size - 1));
    switch (data[0] % 3) {
        case 1:
            reseal(rest);
            return rest;
        case 2: {
            QByteArray file = valid_package();
            for (int i = 0; i + 3 <= rest.size(); i += 3) {
                const int at = (uint8_t(rest[i]) | uint8_t(rest[i + 1]) << 8) % file.size();
                file[at] = static_cast<char>(file[at] ^ rest[i + 2]);
            }
            reseal(file);
            return file;
        }
        default:
            return rest;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.path() + "/fuzz.dat";
    if (size == 0)
        return 0;
    const QByteArray file = file_from_input(data, size);
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(file) != file.size())
            std::abort();
    }

    CPackFile pack;
    if (!pack.open(path))
        return 0;
    (void)pack.get_file_product_ID();
    for (unsigned i = 0; i <= pack.get_section_count(); ++i) {
        unsigned length = 0;
        const char* text = pack.get_file_config(i, length);
        if (text && length > unsigned(file.size()))
            std::abort();  // a layout text can only come from the file
        const char* image = pack.get_file_data(i, length);
        if (image && length > PACK::MAX_IMAGE_SIZE + PACK::UNPACK_SLACK)
            std::abort();
    }
    return 0;
}
