#pragma once

#include "emulator/demo_flash_image.h"

#include <QString>

#include <memory>

class CPedalEmulator;
class QLockFile;

// CDemoFlashFile: the demo pedal's flash kept in one file between runs (the image of
// demo_flash_image.h). A program takes the file's lock (`path` + ".lock") for as long as it
// uses the demo pedal; a second program is told IN_USE. The lock of a program that died
// is taken over. Loading, saving and resetting need the lock. Saving replaces the file
// atomically, so a crash or a full disk leaves the previous file whole. Not thread-safe;
// the pedal may be at work meanwhile.
class CDemoFlashFile {
public:
    explicit CDemoFlashFile(const QString& path);
    ~CDemoFlashFile();  // unlocks
    CDemoFlashFile(const CDemoFlashFile&) = delete;
    CDemoFlashFile& operator=(const CDemoFlashFile&) = delete;

    [[nodiscard]] const QString& path() const { return m_path; }
    // OK (also when already held), IN_USE or LOCK_FAILED.
    [[nodiscard]] EDemoFlashResult lock();
    [[nodiscard]] bool is_locked() const;
    void unlock();

    // Replaces the pedal's program flash and NAND with the file's; NO_FILE when there is
    // no file yet, and anything but OK leaves the pedal as it was.
    [[nodiscard]] EDemoFlashResult load(CPedalEmulator& pedal);
    [[nodiscard]] EDemoFlashResult save(CPedalEmulator& pedal);
    // Starts afresh: the pedal's NAND is erased and its program flash holds only its
    // device information record again; the file is removed.
    [[nodiscard]] EDemoFlashResult reset(CPedalEmulator& pedal);

    // The file system's words for the last READ_FAILED, WRITE_FAILED or LOCK_FAILED.
    [[nodiscard]] const QString& error_detail() const { return m_error; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    QString m_error;
};
