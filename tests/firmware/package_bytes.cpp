#include "package_bytes.h"
#include "support/little_endian.h"

#include "firmware/pack_format.h"
#include "support/neat.h"

#include <gtest/gtest.h>
#include <QFile>

namespace {

unsigned char* bytes_of(QByteArray& data)
{
    return reinterpret_cast<unsigned char*>(data.data());
}

void reseal(unsigned char* header)
{
    LE::write32(header + PACK::CHECKSUM_OFFSET, NEAT::GetChecksumByByte(header, PACK::CHECKED_SIZE));
}

}  // namespace

QByteArray built_package(const QByteArray& product_id, const std::vector<SPackSection>& sections)
{
    QByteArray package;
    QString error;
    EXPECT_TRUE(make_pack_file(product_id, sections, package, error)) << error.toStdString();
    return package;
}

void forge_section_word(QByteArray& package, unsigned section, unsigned offset, uint32_t value)
{
    unsigned char* header = bytes_of(package) + PACK::HEADER_SIZE * (1 + section);
    LE::write32(header + offset, value);
    reseal(header);
}

void reseal_file_header(QByteArray& package)
{
    reseal(bytes_of(package));
}

void write_file(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(content), content.size()) << path.toStdString();
}

QByteArray noise(int size, uint32_t seed)
{
    QByteArray data(size, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (char& byte : data) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return data;
}

Bytes to_bytes(const char* data, unsigned length)
{
    return data ? Bytes(data, data + length) : Bytes{};
}

Bytes to_bytes(const QByteArray& data)
{
    return Bytes(data.begin(), data.end());
}
