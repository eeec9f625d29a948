#include "emulator/demo_flash_file.h"

#include "emulator/demo_flash_pages.h"
#include "emulator/pedal_emulator.h"

#include <QFile>
#include <QLockFile>

namespace {

SDemoFlashChips chips_of(CPedalEmulator& pedal)
{
    return {pedal.program_flash().geometry(), pedal.nand().geometry()};
}

}  // namespace

CDemoFlashFile::CDemoFlashFile(const QString& path, PageFileOpener open_file)
    : m_path(path), m_open_file(std::move(open_file))
{
}

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

EDemoFlashResult CDemoFlashFile::open(CPedalEmulator& pedal)
{
    if (!is_locked())
        return EDemoFlashResult::NOT_LOCKED;
    if (!QFile::exists(m_path))
        return create(pedal);
    const std::shared_ptr<CPageFile> file = m_open_file(m_path, false, 0, m_error);
    if (!file)
        return EDemoFlashResult::READ_FAILED;
    SDemoFlashPages pages;
    const EDemoFlashResult opened = open_demo_flash_pages(file, chips_of(pedal), pages);
    if (opened == EDemoFlashResult::READ_FAILED)
        m_error = file->error();
    if (opened != EDemoFlashResult::OK)
        return opened;
    // Adopting cannot fail: nothing is copied.
    static_cast<void>(pedal.program_flash().keep_pages_in(std::move(pages.program_flash), true));
    static_cast<void>(pedal.nand().keep_pages_in(std::move(pages.nand), true));
    return EDemoFlashResult::OK;
}

// Made beside its place and renamed into it when whole, so a program killed meanwhile
// leaves no half-made file behind.
EDemoFlashResult CDemoFlashFile::create(CPedalEmulator& pedal)
{
    const SDemoFlashChips chips = chips_of(pedal);
    const QString new_path = m_path + QStringLiteral(".new");
    const std::shared_ptr<CPageFile> file = m_open_file(new_path, true, demo_flash_file_size(chips), m_error);
    if (!file)
        return EDemoFlashResult::WRITE_FAILED;
    SDemoFlashPages pages;
    const bool made = start_demo_flash_file(*file, chips) &&
                      open_demo_flash_pages(file, chips, pages) == EDemoFlashResult::OK &&
                      pedal.program_flash().keep_pages_in(std::move(pages.program_flash), false) &&
                      pedal.nand().keep_pages_in(std::move(pages.nand), false);
    if (!made || !QFile::rename(new_path, m_path)) {
        m_error = made ? QStringLiteral("cannot rename %1").arg(new_path) : file->error();
        QFile::remove(new_path);
        return EDemoFlashResult::WRITE_FAILED;
    }
    return EDemoFlashResult::NO_FILE;
}

EDemoFlashResult CDemoFlashFile::remove()
{
    if (!is_locked())
        return EDemoFlashResult::NOT_LOCKED;
    QFile file(m_path);
    if (file.exists() && !file.remove()) {
        m_error = file.errorString();
        return EDemoFlashResult::WRITE_FAILED;
    }
    return EDemoFlashResult::OK;
}
