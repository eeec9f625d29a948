#pragma once

#include "support/sha256.h"

#include <QIODevice>
#include <QString>

// A read-only view of a seekable device that hashes the device's bytes in file order as a
// decoder reads them, so a file is checked and hashed in one reading. Bytes a decoder skips
// by seeking ahead are read for the hash there and then; rereads are not hashed again.
class CHashingDevice final : public QIODevice {
public:
    // `device` is open and stays so, positioned where the view starts (its position 0).
    explicit CHashingDevice(QIODevice& device);

    bool isSequential() const override { return false; }
    qint64 size() const override;
    bool seek(qint64 pos) override;
    // The SHA-256 of the whole device from the start, the bytes no decoder read included;
    // empty when it could not be read to its end.
    [[nodiscard]] QString finish_hash();

protected:
    qint64 readData(char* data, qint64 max_size) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    // Hashes the device's bytes up to `end`; false when they cannot be read.
    bool hash_up_to(qint64 end);
    bool inner_at(qint64 pos);

    QIODevice& m_device;
    const qint64 m_start;
    qint64 m_pos = 0;     // this view's position
    qint64 m_hashed = 0;  // bytes hashed from the start
    bool m_failed = false;
    CSha256 m_hash;
};
