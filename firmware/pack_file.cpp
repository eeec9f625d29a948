#include "firmware/pack_file.h"
#include "support/little_endian.h"

#include "support/neat.h"

#include <zlib.h>
#include <QFile>
#include <algorithm>
#include <cstring>
#include <new>

namespace {

QString section_text(unsigned index, const char* what)
{
    return QString("Data%1 %2").arg(index + 1).arg(QLatin1String(what));
}

}  // namespace

bool CPackFile::open(const QString& path)
{
    return GetFileInfo(path);
}

bool CPackFile::GetFileInfo(const QString& path)
{
    m_sectionCount = 0;
    m_dataHeads.clear();
    m_path = path;
    std::memset(m_fileHead, 0, sizeof m_fileHead);

    QFile file;
    if (!NEAT::OpenFile(file, path, QIODevice::ReadOnly, nullptr)) {
        fail("Open file failed", EPackProblem::UNREADABLE);
        return false;
    }
    const qint64 headRead = file.read(reinterpret_cast<char*>(m_fileHead), PACK::HEADER_SIZE);
    if (std::memcmp(m_fileHead + PACK::TOKEN_OFFSET, PACK::TOKEN, PACK::TOKEN_SIZE) != 0) {
        fail("File Token Error", EPackProblem::NOT_A_PACKAGE);
        return false;
    }
    // A header cut short has no stored checksum at all, whatever the zero fill sums to.
    const uint32_t headSum = LE::read32(m_fileHead + PACK::CHECKSUM_OFFSET);
    if (headRead != PACK::HEADER_SIZE || headSum != GetChecksum(file, 0, PACK::CHECKED_SIZE)) {
        fail("File header checksum Error");
        return false;
    }
    const unsigned count = m_fileHead[PACK::COUNT_OFFSET];
    if (count > PACK::MAX_SECTIONS) {
        fail(QString("File section count Error: %1 sections, at most %2").arg(count).arg(PACK::MAX_SECTIONS));
        return false;
    }

    std::vector<SDataHead> heads;
    heads.reserve(count);
    for (unsigned k = 1; k <= count; ++k) {
        unsigned char bytes[PACK::HEADER_SIZE] = {};
        const unsigned offset = PACK::HEADER_SIZE * k;
        // A header that is not wholly in the file fails like a bad checksum: its stored sum
        // would otherwise be whatever fills the missing bytes.
        const bool whole =
            file.seek(offset) && file.read(reinterpret_cast<char*>(bytes), sizeof bytes) == sizeof bytes;
        const SDataHead head = SDataHead::decode(bytes);
        if (!whole || head.checksum != GetChecksum(file, offset, PACK::CHECKED_SIZE)) {
            fail(QString("Data%1l header checksum Error").arg(k));
            return false;
        }
        heads.push_back(head);
    }
    m_dataHeads = std::move(heads);
    m_sectionCount = count;
    return true;
}

uint32_t CPackFile::GetChecksum(QFile& file, unsigned offset, int length)
{
    const qint64 size = file.size();
    if (length <= 0 || offset >= static_cast<quint64>(size) || !file.seek(offset))
        return 0;
    // Only what the file holds is read, however large the count asked for.
    const qint64 wanted = std::min<qint64>(length, size - offset);
    std::vector<unsigned char> bytes(static_cast<size_t>(wanted));
    const qint64 got = file.read(reinterpret_cast<char*>(bytes.data()), wanted);
    return got > 0 ? NEAT::GetChecksumByByte(bytes.data(), static_cast<int>(got)) : 0;
}

unsigned CPackFile::get_file_product_ID() const
{
    uint64_t id = 0;
    unsigned at = PACK::PRODUCT_ID_OFFSET;
    for (; at < PACK::PRODUCT_ID_END && m_fileHead[at] != 0; ++at) {
        const unsigned char c = m_fileHead[at];
        if (c < '0' || c > '9')
            return 0;
        id = id * 10 + (c - '0');
        if (id > UINT32_MAX)
            return 0;
    }
    return at == PACK::PRODUCT_ID_OFFSET ? 0 : static_cast<unsigned>(id);
}

const char* CPackFile::get_file_config(unsigned index, unsigned& length)
{
    if (index >= m_sectionCount)
        return nullptr;
    const SDataHead& head = m_dataHeads[index];
    QFile file;
    if (!open_range(file, head.config_offset, head.config_length, index, "layout text lies outside the file"))
        return nullptr;
    if (!ensure_capacity(std::max<uint32_t>(head.config_length, 1)))
        return nullptr;
    if (!read_exactly(file, m_buffer.get(), head.config_length, index, "layout text lies outside the file"))
        return nullptr;
    length = head.config_length;
    return reinterpret_cast<const char*>(m_buffer.get());
}

const char* CPackFile::get_file_data(unsigned index, unsigned& length)
{
    if (index >= m_sectionCount)
        return nullptr;
    const SDataHead& head = m_dataHeads[index];
    if (head.unpacked_length > PACK::MAX_IMAGE_SIZE ||
        head.stored_length > compressBound(PACK::MAX_IMAGE_SIZE)) {
        fail(section_text(index, "image is larger than the 256 MiB a package may carry"));
        return nullptr;
    }
    QFile file;
    if (!open_range(file, head.stored_offset, head.stored_length, index, "image lies outside the file"))
        return nullptr;

    // Nothing can unpack beyond the inflate bound, so a buffer larger than that would
    // change no result, only waste memory on a forged unpacked length.
    const uint64_t wanted = uint64_t(head.unpacked_length) + PACK::UNPACK_SLACK;
    const uint64_t bound = uint64_t(head.stored_length) * PACK::MAX_INFLATE_RATIO + PACK::INFLATE_MARGIN;
    if (!ensure_capacity(std::min(wanted, bound)))
        return nullptr;

    std::unique_ptr<unsigned char[]> stored(
        new (std::nothrow) unsigned char[std::max<uint32_t>(head.stored_length, 1)]);
    if (!stored) {
        fail(section_text(index, "image does not fit into memory"), EPackProblem::NO_MEMORY);
        return nullptr;
    }
    if (!read_exactly(file, stored.get(), head.stored_length, index, "image lies outside the file"))
        return nullptr;
    PACK::apply_key(stored.get(), head.stored_length);

    uLongf produced = m_capacity;
    if (uncompress(m_buffer.get(), &produced, stored.get(), head.stored_length) != Z_OK) {
        fail("decode bin file failed");
        return nullptr;
    }
    length = static_cast<unsigned>(produced);
    return reinterpret_cast<const char*>(m_buffer.get());
}

void CPackFile::fail(const QString& text, EPackProblem problem)
{
    m_error = text;
    m_problem = problem;
}

QString pack_problem_text(EPackProblem problem)
{
    switch (problem) {
        case EPackProblem::NOT_A_PACKAGE:
            return QStringLiteral("This file is not a firmware package.");
        case EPackProblem::DAMAGED:
            return QStringLiteral("The package is damaged or incomplete.");
        case EPackProblem::NONE:
        case EPackProblem::UNREADABLE:
        case EPackProblem::NO_MEMORY:
            break;
    }
    return {};
}

bool CPackFile::ensure_capacity(uint64_t size)
{
    if (size <= m_capacity)
        return true;
    m_buffer.reset();
    m_capacity = 0;
    m_buffer.reset(new (std::nothrow) unsigned char[size]);
    if (!m_buffer) {
        fail("Not enough memory to read the firmware package", EPackProblem::NO_MEMORY);
        return false;
    }
    m_capacity = static_cast<uint32_t>(size);
    return true;
}

bool CPackFile::open_range(QFile& file, uint32_t offset, uint32_t length, unsigned index, const char* what)
{
    QString error;
    if (!NEAT::OpenFile(file, m_path, QIODevice::ReadOnly, &error)) {
        fail(error, EPackProblem::UNREADABLE);
        return false;
    }
    if (uint64_t(offset) + length > static_cast<quint64>(file.size()) || !file.seek(offset)) {
        fail(section_text(index, what));
        return false;
    }
    return true;
}

bool CPackFile::read_exactly(QFile& file, unsigned char* destination, uint32_t length, unsigned index,
                             const char* what)
{
    // The file may have shrunk since its size was checked.
    if (length != 0 && file.read(reinterpret_cast<char*>(destination), length) != qint64(length)) {
        fail(section_text(index, what));
        return false;
    }
    return true;
}
