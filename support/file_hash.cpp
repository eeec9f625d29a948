#include "support/file_hash.h"

#include "support/sha256.h"

#include <QFile>
#include <vector>

QString file_sha256(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    // 1 MiB pieces: few system calls, and still in the processor's cache while hashed.
    std::vector<char> piece(1 << 20);
    CSha256 hash;
    for (;;) {
        const qint64 got = file.read(piece.data(), qint64(piece.size()));
        if (got < 0)
            return {};
        if (got == 0)
            return hash.hex_result();
        hash.add(piece.data(), size_t(got));
    }
}
