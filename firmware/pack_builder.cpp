#include "firmware/pack_builder.h"
#include "support/little_endian.h"

#include "firmware/data_head.h"
#include "firmware/pack_format.h"
#include "support/neat.h"

#include <zlib.h>
#include <QSaveFile>
#include <cstring>

namespace {

unsigned char* bytes_of(QByteArray& data)
{
    return reinterpret_cast<unsigned char*>(data.data());
}

void seal(unsigned char* header)
{
    LE::write32(header + PACK::CHECKSUM_OFFSET, NEAT::GetChecksumByByte(header, PACK::CHECKED_SIZE));
}

[[nodiscard]] bool store_image(const QByteArray& image, QByteArray& stored)
{
    uLongf length = compressBound(static_cast<uLong>(image.size()));
    stored.resize(static_cast<int>(length));
    if (compress2(bytes_of(stored), &length, reinterpret_cast<const Bytef*>(image.constData()),
                  static_cast<uLong>(image.size()), Z_BEST_COMPRESSION) != Z_OK)
        return false;
    stored.resize(static_cast<int>(length));
    PACK::apply_key(bytes_of(stored), length);
    return true;
}

}  // namespace

bool make_pack_file(const QByteArray& product_id, const std::vector<SPackSection>& sections,
                    QByteArray& package, QString& error)
{
    if (sections.size() > PACK::MAX_SECTIONS) {
        error = QString("A package holds at most %1 sections, not %2")
                    .arg(PACK::MAX_SECTIONS)
                    .arg(sections.size());
        return false;
    }
    if (product_id.contains('\0') ||
        product_id.size() >= int(PACK::PRODUCT_ID_END - PACK::PRODUCT_ID_OFFSET)) {
        error = "The product ID must be at most 79 characters without NUL";
        return false;
    }

    const qint64 headersEnd = qint64(PACK::HEADER_SIZE) * (1 + qint64(sections.size()));
    std::vector<QByteArray> stored(sections.size());
    qint64 fileSize = headersEnd;
    for (size_t i = 0; i < sections.size(); ++i) {
        if (uint64_t(sections[i].image.size()) > PACK::MAX_IMAGE_SIZE) {
            error =
                QString("Section %1: the image is larger than %2 bytes").arg(i + 1).arg(PACK::MAX_IMAGE_SIZE);
            return false;
        }
        if (!store_image(sections[i].image, stored[i])) {
            error = QString("Section %1: the image cannot be compressed").arg(i + 1);
            return false;
        }
        fileSize += sections[i].layout_text.size() + stored[i].size();
    }
    if (fileSize > qint64(UINT32_MAX) || fileSize > qint64(INT32_MAX)) {
        error = "The package would be too large for its 32-bit offsets";
        return false;
    }

    std::vector<unsigned char> headers(static_cast<size_t>(headersEnd), 0);
    unsigned char* fileHead = headers.data();
    std::memcpy(fileHead + PACK::PRODUCT_ID_OFFSET, product_id.constData(),
                static_cast<size_t>(product_id.size()));
    std::memcpy(fileHead + PACK::TOKEN_OFFSET, PACK::TOKEN, PACK::TOKEN_SIZE);
    fileHead[PACK::COUNT_OFFSET] = static_cast<unsigned char>(sections.size());
    seal(fileHead);

    QByteArray body;
    for (size_t i = 0; i < sections.size(); ++i) {
        SDataHead head;
        head.config_offset = static_cast<uint32_t>(headersEnd + body.size());
        head.config_length = static_cast<uint32_t>(sections[i].layout_text.size());
        body += sections[i].layout_text;
        head.stored_offset = static_cast<uint32_t>(headersEnd + body.size());
        head.stored_length = static_cast<uint32_t>(stored[i].size());
        body += stored[i];
        head.unpacked_length = static_cast<uint32_t>(sections[i].image.size());

        unsigned char* bytes = fileHead + PACK::HEADER_SIZE * (1 + i);
        head.encode(bytes);
        seal(bytes);
    }
    package =
        QByteArray(reinterpret_cast<const char*>(headers.data()), static_cast<int>(headers.size())) + body;
    return true;
}

bool write_pack_file(const QString& path, const QByteArray& product_id,
                     const std::vector<SPackSection>& sections, QString& error)
{
    QByteArray package;
    if (!make_pack_file(product_id, sections, package, error))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(package) != package.size() || !file.commit()) {
        error = QString("Cannot write '%1': %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
