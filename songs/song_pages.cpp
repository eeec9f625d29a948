#include "songs/song_pages.h"

#include <cstring>

CSongPageSource::~CSongPageSource() = default;

bool CSongBufferPages::next(unsigned char* out, unsigned int count)
{
    if (count > m_length - m_at)
        return false;
    std::memcpy(out, m_data + m_at, count);
    m_at += count;
    return true;
}
