#include "emulator/page_file.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

class CPosixPageFile final : public CPageFile {
public:
    explicit CPosixPageFile(int fd) : m_fd(fd) {}
    ~CPosixPageFile() override
    {
        // A program that ends normally leaves its flash on the disk, not only in the cache.
        static_cast<void>(::fdatasync(m_fd));
        ::close(m_fd);
    }
    CPosixPageFile(const CPosixPageFile&) = delete;
    CPosixPageFile& operator=(const CPosixPageFile&) = delete;

    uint64_t size() const override
    {
        struct stat status {};
        return ::fstat(m_fd, &status) == 0 ? static_cast<uint64_t>(status.st_size) : 0;
    }
    bool read_at(uint64_t offset, uint8_t* out, size_t length) override
    {
        return transfer(offset, length, [&](size_t done, size_t left, off_t at) {
            return ::pread(m_fd, out + done, left, at);
        });
    }
    bool write_at(uint64_t offset, const uint8_t* data, size_t length) override
    {
        if (!transfer(offset, length, [&](size_t done, size_t left, off_t at) {
                return ::pwrite(m_fd, data + done, left, at);
            }))
            return false;
        // The disk takes what was written while the pedal goes on, so the sync at the end
        // waits for the last few megabytes only, not for a whole song.
        m_unsent += length;
        if (m_unsent >= kWritebackBytes) {
            static_cast<void>(::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE));
            m_unsent = 0;
        }
        return true;
    }
    bool punch(uint64_t offset, uint64_t length) override
    {
        if (::fallocate(m_fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                        static_cast<off_t>(length)) == 0 ||
            errno == EOPNOTSUPP)
            return true;
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    QString error() const override { return m_error; }

private:
    // Repeats `step` until `length` bytes are moved; a step that moves nothing is a short file.
    template <typename Step>
    bool transfer(uint64_t offset, size_t length, Step step)
    {
        size_t done = 0;
        while (done < length) {
            const ssize_t moved = step(done, length - done, static_cast<off_t>(offset + done));
            if (moved < 0 && errno == EINTR)
                continue;
            if (moved <= 0) {
                m_error = moved < 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                    : QStringLiteral("the file ends early");
                return false;
            }
            done += static_cast<size_t>(moved);
        }
        return true;
    }

    static constexpr size_t kWritebackBytes = size_t{8} << 20;
    int m_fd;
    size_t m_unsent = 0;  // bytes written since the disk was last asked to take them
    QString m_error;
};

}  // namespace

std::unique_ptr<CPageFile> open_page_file(const QString& path, bool create, uint64_t create_size,
                                          QString& error)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | (create ? O_CREAT | O_TRUNC : 0), 0644);
    if (fd < 0 || (create && ::ftruncate(fd, static_cast<off_t>(create_size)) != 0)) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    return std::make_unique<CPosixPageFile>(fd);
}
