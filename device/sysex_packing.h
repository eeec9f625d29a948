#pragma once

// 8-to-7-bit packing of sysex data: the input bytes form one bit stream, least
// significant bit first, cut into 7-bit groups from its start; a last short group is
// padded with zero bits at the top. 7 bytes travel as 8 data bytes.

// ceil(8 * n / 7): data bytes that n input bytes pack into.
constexpr unsigned int packed_sysex_size(unsigned int n)
{
    return n / 7 * 8 + (n % 7 == 0 ? 0 : n % 7 + 1);
}

// Packs n bytes into dst, which must hold packed_sysex_size(n) bytes; returns that size.
unsigned int pack_8_to_7(const unsigned char* src, unsigned int n, unsigned char* dst);

// Unpacks sysex data bytes one by one, as they arrive. Pending bits left at the end of a
// message are the zero fill of its last group and are dropped by the caller's reset.
class CSysexUnpacker {
public:
    // Adds the 7 data bits of `data`; true when a whole byte completed, stored in `out`.
    bool feed(unsigned char data, unsigned char& out)
    {
        m_bits |= static_cast<unsigned int>(data & 0x7F) << m_count;
        m_count += 7;
        if (m_count < 8)
            return false;
        out = static_cast<unsigned char>(m_bits);
        m_bits >>= 8;
        m_count -= 8;
        return true;
    }
    void reset()
    {
        m_bits = 0;
        m_count = 0;
    }

private:
    unsigned int m_bits = 0;
    unsigned int m_count = 0;
};
