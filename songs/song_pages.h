#pragma once

#include <cstdint>

// A song on its way to a slot, handed out page by page in order, so that a write need not
// hold it whole: a conversion that runs again as the pages go out, or a song in memory.
class CSongPageSource {
public:
    virtual ~CSongPageSource();
    // Bytes of the song in all; known before the first page.
    [[nodiscard]] virtual unsigned int length() const = 0;
    // The song's next `count` bytes into `out`, following those handed out before. False
    // when they cannot be had (a file that fails on its second reading): the write stops
    // before its record, so the slot keeps its song.
    [[nodiscard]] virtual bool next(unsigned char* out, unsigned int count) = 0;
};

// A song already whole in memory (`data`, which must outlive the source).
class CSongBufferPages final : public CSongPageSource {
public:
    CSongBufferPages(const unsigned char* data, unsigned int length) : m_data(data), m_length(length) {}
    [[nodiscard]] unsigned int length() const override { return m_length; }
    [[nodiscard]] bool next(unsigned char* out, unsigned int count) override;

private:
    const unsigned char* m_data;
    unsigned int m_length;
    unsigned int m_at = 0;
};
