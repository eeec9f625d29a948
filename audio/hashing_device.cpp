#include "audio/hashing_device.h"

#include <algorithm>
#include <vector>

CHashingDevice::CHashingDevice(QIODevice& device) : m_device(device), m_start(device.pos())
{
    QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 CHashingDevice::size() const
{
    return std::max<qint64>(0, m_device.size() - m_start);
}

bool CHashingDevice::seek(qint64 pos)
{
    if (pos < 0 || !QIODevice::seek(pos))
        return false;
    m_pos = pos;
    return true;
}

bool CHashingDevice::inner_at(qint64 pos)
{
    return m_device.pos() == m_start + pos || m_device.seek(m_start + pos);
}

qint64 CHashingDevice::readData(char* data, qint64 max_size)
{
    if (m_pos > m_hashed && !hash_up_to(m_pos))
        return -1;
    if (!inner_at(m_pos))
        return -1;
    const qint64 got = m_device.read(data, max_size);
    if (got <= 0)
        return got;
    if (m_pos + got > m_hashed) {
        const qint64 fresh = m_pos + got - m_hashed;
        m_hash.add(data + (got - fresh), size_t(fresh));
        m_hashed = m_pos + got;
    }
    m_pos += got;
    return got;
}

bool CHashingDevice::hash_up_to(qint64 end)
{
    m_failed = m_failed || !inner_at(m_hashed);
    std::vector<char> piece(1 << 16);
    while (!m_failed && (end < 0 || m_hashed < end)) {
        const qint64 want = end < 0 ? qint64(piece.size()) : std::min<qint64>(qint64(piece.size()), end - m_hashed);
        const qint64 got = m_device.read(piece.data(), want);
        if (got == 0)
            break;
        m_failed = got < 0;
        if (got > 0)
            m_hash.add(piece.data(), size_t(got));
        m_hashed += std::max<qint64>(got, 0);
    }
    return !m_failed;
}

QString CHashingDevice::finish_hash()
{
    return hash_up_to(-1) ? m_hash.hex_result() : QString();
}
