#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// The file under the demo pedal's flash: reads and writes at an offset, and holes. Every
// write reaches the operating system before it returns, so a program killed after it has
// lost nothing of it.
class CPageFile {
public:
    virtual ~CPageFile() = default;

    [[nodiscard]] virtual uint64_t size() const = 0;
    // False unless all `length` bytes were read.
    [[nodiscard]] virtual bool read_at(uint64_t offset, uint8_t* out, size_t length) = 0;
    // False unless all `length` bytes were written.
    [[nodiscard]] virtual bool write_at(uint64_t offset, const uint8_t* data, size_t length) = 0;
    // Frees the range's disk space; it reads as zeros afterwards. A file system without
    // holes keeps the space and the bytes: callers must not need the zeros.
    [[nodiscard]] virtual bool punch(uint64_t offset, uint64_t length) = 0;
    // The operating system's words for the last failure.
    [[nodiscard]] virtual QString error() const = 0;
};

// Opens the file at `path` for reading and writing; with `create`, makes it anew (sparse,
// `create_size` bytes). Null, with the reason in `error`, when that fails.
using PageFileOpener = std::function<std::unique_ptr<CPageFile>(const QString& path, bool create,
                                                                uint64_t create_size, QString& error)>;
[[nodiscard]] std::unique_ptr<CPageFile> open_page_file(const QString& path, bool create,
                                                        uint64_t create_size, QString& error);
