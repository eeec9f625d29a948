#pragma once

#include "emulator/demo_flash_result.h"
#include "emulator/page_file.h"

#include <QString>

#include <memory>

class CPedalEmulator;
class QLockFile;

// CDemoFlashFile: the demo pedal's flash kept in one file (the layout of demo_flash_pages.h)
// that every program and erase reaches as it happens, so a killed program is a power cut
// to the pedal. A program takes the file's lock (`path` + ".lock") for as long as it uses
// the demo pedal; a second program is told IN_USE. The lock of a program that died is
// taken over. Opening and removing need the lock. Not thread-safe.
class CDemoFlashFile {
public:
    explicit CDemoFlashFile(const QString& path, PageFileOpener open_file = open_page_file);
    ~CDemoFlashFile();  // unlocks
    CDemoFlashFile(const CDemoFlashFile&) = delete;
    CDemoFlashFile& operator=(const CDemoFlashFile&) = delete;

    [[nodiscard]] const QString& path() const { return m_path; }
    // OK (also when already held), IN_USE or LOCK_FAILED.
    [[nodiscard]] EDemoFlashResult lock();
    [[nodiscard]] bool is_locked() const;
    void unlock();

    // The pedal's chips keep their pages in the file from now on: the file's pages (OK),
    // or, with no file yet, the pedal's flash as it is, in a new file (NO_FILE). Only the
    // header and the page tables are read here. Anything else leaves the pedal as it was.
    [[nodiscard]] EDemoFlashResult open(CPedalEmulator& pedal);
    // Removes the file, so the next open starts afresh; for a pedal not yet opened.
    [[nodiscard]] EDemoFlashResult remove();

    // The file system's words for the last READ_FAILED, WRITE_FAILED or LOCK_FAILED.
    [[nodiscard]] const QString& error_detail() const { return m_error; }

private:
    EDemoFlashResult create(CPedalEmulator& pedal);

    QString m_path;
    PageFileOpener m_open_file;
    std::unique_ptr<QLockFile> m_lock;
    QString m_error;
};
