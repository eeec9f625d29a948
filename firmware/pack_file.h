#pragma once

#include "firmware/data_head.h"
#include "firmware/pack_format.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class QFile;

// Reader of a firmware package (".dat"): a 128-byte file header (product ID, the token
// "Data Number", section count, byte-sum checksum), then one SDataHead per section, each
// naming a plain layout text and a keyed zlib image anywhere in the file.
//
// The file is not held open: every accessor opens it anew. Both accessors hand out a
// pointer into one working buffer owned by the object, valid only until the next call of
// either accessor. Failures set the error text (never cleared by a success), which the
// caller shows.
// Why a package was refused, in the words a musician can act on.
enum class EPackProblem {
    NONE,
    UNREADABLE,     // the file could not be opened or read
    NOT_A_PACKAGE,  // it does not start as a firmware package does
    DAMAGED,        // a checksum, a count, a range or a stream is wrong, or a part is missing
    NO_MEMORY,      // the computer could not hold it
};

// The plain sentence under a refusal's own text; empty where that text says it already.
QString pack_problem_text(EPackProblem problem);

class CPackFile {
public:
    CPackFile() = default;
    CPackFile(const CPackFile&) = delete;
    CPackFile& operator=(const CPackFile&) = delete;

    // Forgets the previous package and validates the one at `path`.
    [[nodiscard]] bool open(const QString& path);
    // Reads and checks the file header and every section header; on failure sets the error
    // text and leaves no usable sections.
    [[nodiscard]] bool GetFileInfo(const QString& path);
    // Byte sum of `length` bytes at `offset`; 0 when `offset` is not below the file size.
    // A read that runs past the end sums what is there.
    [[nodiscard]] static uint32_t GetChecksum(QFile& file, unsigned offset, int length);

    // The decimal product ID of the header; 0 when the text is not a decimal number.
    [[nodiscard]] unsigned get_file_product_ID() const;
    // Section `index`'s layout text (not NUL-terminated) and its length; null when the index
    // is out of range, the file cannot be opened or the text lies outside the file.
    [[nodiscard]] const char* get_file_config(unsigned index, unsigned& length);
    // Section `index`'s unpacked image and its true length; null when the index is out of
    // range, the file cannot be opened, the stream lies outside the file, the image is
    // declared above PACK::MAX_IMAGE_SIZE, or the stream does not unpack into the header's
    // unpacked length + 100 bytes (or the buffer a larger earlier section left behind).
    [[nodiscard]] const char* get_file_data(unsigned index, unsigned& length);

    const QString& error_text() const { return m_error; }
    EPackProblem problem() const { return m_problem; }
    unsigned get_section_count() const { return m_sectionCount; }
    const std::vector<SDataHead>& data_heads() const { return m_dataHeads; }

private:
    void fail(const QString& text, EPackProblem problem = EPackProblem::DAMAGED);
    [[nodiscard]] bool ensure_capacity(uint64_t size);
    // Opens the package and seeks to a range that must lie wholly inside it; otherwise
    // fails with "Data<n> <what>" before anything is allocated.
    [[nodiscard]] bool open_range(QFile& file, uint32_t offset, uint32_t length, unsigned index,
                                  const char* what);
    [[nodiscard]] bool read_exactly(QFile& file, unsigned char* destination, uint32_t length, unsigned index,
                                    const char* what);

    QString m_error;
    EPackProblem m_problem = EPackProblem::NONE;
    unsigned m_sectionCount = 0;
    QString m_path;
    unsigned char m_fileHead[PACK::HEADER_SIZE] = {};
    std::vector<SDataHead> m_dataHeads;
    std::unique_ptr<unsigned char[]> m_buffer;
    uint32_t m_capacity = 0;
};
