#include "emulator/demo_flash_file.h"

#include "emulator/pedal_emulator.h"
#include "emulator/pedal_wire.h"

#include <QFile>
#include <QLockFile>
#include <QSaveFile>

CDemoFlashFile::CDemoFlashFile(const QString& path) : m_path(path) {}

CDemoFlashFile::~CDemoFlashFile()
{
    unlock();
}

EDemoFlashResult CDemoFlashFile::lock()
{
    if (is_locked())
        return EDemoFlashResult::OK;
    auto lock_file = std::make_unique<QLockFile>(m_path + QStringLiteral(".lock"));
    // A program may keep the demo pedal for hours: only a dead owner makes a lock stale.
    lock_file->setStaleLockTime(0);
    if (lock_file->tryLock(0)) {
        m_lock = std::move(lock_file);
        return EDemoFlashResult::OK;
    }
    if (lock_file->error() == QLockFile::LockFailedError)
        return EDemoFlashResult::IN_USE;
    m_error = QStringLiteral("cannot create %1.lock").arg(m_path);
    return EDemoFlashResult::LOCK_FAILED;
}

bool CDemoFlashFile::is_locked() const
{
    return m_lock && m_lock->isLocked();
}

void CDemoFlashFile::unlock()
{
    if (m_lock)
        m_lock->unlock();
    m_lock.reset();
}

EDemoFlashResult CDemoFlashFile::load(CPedalEmulator& pedal)
{
    if (!is_locked())
        return EDemoFlashResult::NOT_LOCKED;
    QFile file(m_path);
    if (!file.exists())
        return EDemoFlashResult::NO_FILE;
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = file.errorString();
        return EDemoFlashResult::READ_FAILED;
    }
    const qint64 size = file.size();
    if (size == 0)
        return EDemoFlashResult::CORRUPT;
    // A saved pedal holds tens of megabytes: map it rather than copy it.
    if (const uchar* mapped = file.map(0, size))
        return read_flash_image(mapped, static_cast<size_t>(size), pedal.program_flash(), pedal.nand());
    const QByteArray bytes = file.readAll();
    if (bytes.size() != size) {
        m_error = file.errorString();
        return EDemoFlashResult::READ_FAILED;
    }
    return read_flash_image(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(size),
                            pedal.program_flash(), pedal.nand());
}

EDemoFlashResult CDemoFlashFile::save(CPedalEmulator& pedal)
{
    if (!is_locked())
        return EDemoFlashResult::NOT_LOCKED;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = file.errorString();
        return EDemoFlashResult::WRITE_FAILED;
    }
    const bool written =
        write_flash_image(pedal.program_flash(), pedal.nand(), [&](const uint8_t* data, size_t size) {
            return file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
                   static_cast<qint64>(size);
        });
    if (!written || !file.commit()) {
        m_error = file.errorString();
        return EDemoFlashResult::WRITE_FAILED;
    }
    return EDemoFlashResult::OK;
}

EDemoFlashResult CDemoFlashFile::reset(CPedalEmulator& pedal)
{
    if (!is_locked())
        return EDemoFlashResult::NOT_LOCKED;
    CEmulatedFlash& program_flash = pedal.program_flash();
    uint8_t record[12];
    if (!program_flash.read(PEDAL_DEVICE_INFO_ADDRESS, record, sizeof(record)))
        return EDemoFlashResult::OTHER_MODEL;
    QFile file(m_path);
    if (file.exists() && !file.remove()) {
        m_error = file.errorString();
        return EDemoFlashResult::WRITE_FAILED;
    }
    pedal.nand().erase_all();
    program_flash.erase_all();
    pedal.set_device_info(pedal_wire::get_le(record, 4), pedal_wire::get_le(record + 4, 4),
                          pedal_wire::get_le(record + 8, 4));
    return EDemoFlashResult::OK;
}
