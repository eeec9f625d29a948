#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// One erase sector of a section's flash area.
struct SFlashSector {
    uint32_t type;     // flash type of its group, handed to the device commands unchanged
    uint32_t address;  // absolute address of its first byte
    uint32_t size;     // bytes; the last sector of a group may reach past the group's end
};

// A section's layout text: INI groups "FLASH 1" … "FLASH 99", numbered without gaps, each
// with TYPE, Start Address, End Address (exclusive) and Sector Size. Loading turns it into
// a flat sector list, group by group and ascending within a group. All groups share one
// type and each starts where the previous one ended.
//
// Created for one load and dropped afterwards; after a failed load the sectors of the
// groups before the failing one remain and the error text says what failed.
class CFlashConfig {
public:
    // Loads the INI file at `path`. A missing file fails with a text naming it.
    [[nodiscard]] bool load_flash_config(const QString& path);
    // The same from the layout text itself.
    [[nodiscard]] bool load_flash_config_text(const QByteArray& text);

    // Sectors, counted from the first, needed to hold `length` bytes; all of them when they
    // are not enough, 1 for a length of 0, and 0 without sectors.
    [[nodiscard]] unsigned envaluate_sector_count_to_save_data(unsigned int length) const;

    const std::vector<SFlashSector>& sectors() const { return m_sectors; }
    // Bytes of flash the layout covers: the sum of end − start over the groups.
    uint32_t total() const { return m_total; }
    const QString& error_text() const { return m_error; }

    // More sectors than this in one layout is refused rather than allocated: 256 Ki sectors
    // of the smallest common 4 KiB erase size already span 1 GiB.
    static constexpr size_t MAX_SECTORS = 256 * 1024;

private:
    [[nodiscard]] bool fail(const QString& text);

    std::vector<SFlashSector> m_sectors;
    uint32_t m_total = 0;
    QString m_error;
};

// Start Address, End Address and Sector Size syntax: text from the first ";" on is a
// comment; white space is trimmed; a "0x"/"0X" prefix means hexadecimal, else decimal. A
// value that does not convert reads as 0.
uint32_t parse_flash_config_value(const QString& text);
