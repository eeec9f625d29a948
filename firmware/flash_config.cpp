#include "firmware/flash_config.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryFile>

namespace {

constexpr int MAX_GROUPS = 99;

}  // namespace

uint32_t parse_flash_config_value(const QString& text)
{
    const QString value = text.left(text.indexOf(';')).trimmed();
    const bool hex = value.startsWith("0x", Qt::CaseInsensitive);
    return value.toUInt(nullptr, hex ? 16 : 10);
}

bool CFlashConfig::load_flash_config(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return fail(QString("Flash layout file '%1' not found").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QString("Flash layout file '%1' cannot be read").arg(path));
    return load_flash_config_text(file.readAll());
}

bool CFlashConfig::load_flash_config_text(const QByteArray& text)
{
    m_sectors.clear();
    m_total = 0;

    // QSettings keeps the contents of every INI file it has read, keyed by path, and takes
    // a file rewritten within the same millisecond at the same size for unchanged. Layout
    // texts are rewritten to one temporary path section after section, so each parse gets
    // a file of its own.
    QTemporaryFile copy(QDir::tempPath() + "/tandora-layout-XXXXXX.ini");
    if (!copy.open() || copy.write(text) != text.size() || !copy.flush())
        return fail("Flash layout text cannot be stored for reading");
    QSettings settings(copy.fileName(), QSettings::IniFormat);

    bool typeSeen = false;
    uint32_t type = 0;
    uint32_t lastEnd = 0;
    for (int group = 1; group <= MAX_GROUPS; ++group) {
        const QString name = QString("FLASH %1").arg(group);
        settings.beginGroup(name);
        const bool present = settings.contains("TYPE");
        const uint32_t groupType = settings.value("TYPE").toString().trimmed().toUInt();
        const QString startText = settings.value("Start Address").toString();
        const QString endText = settings.value("End Address").toString();
        const QString sizeText = settings.value("Sector Size").toString();
        settings.endGroup();
        if (!present)
            return true;

        if (typeSeen && groupType != type)
            return fail("All FLASH should be same type!");
        typeSeen = true;
        type = groupType;

        if (startText.isEmpty())
            return fail("FLASH start address is empty");
        const uint32_t start = parse_flash_config_value(startText);
        if (lastEnd != 0 && start != lastEnd)
            return fail(QString("%1 address not follow the last flash").arg(name));

        if (endText.isEmpty())
            return fail("FLASH end address is empty");
        const uint32_t end = parse_flash_config_value(endText);
        // Below its start the group's size would wrap the total to nearly 4 GiB.
        if (end < start)
            return fail(QString("%1 End Address is below its Start Address").arg(name));
        lastEnd = end;

        const uint32_t sectorSize = parse_flash_config_value(sizeText);
        if (end > start) {
            if (sectorSize == 0)
                return fail(QString("%1 Sector Size is missing or 0").arg(name));
            // 64-bit walk: a group ending near 4 GiB must not wrap back to address 0.
            for (uint64_t address = start; address < end; address += sectorSize) {
                if (m_sectors.size() == MAX_SECTORS)
                    return fail(QString("%1 makes the layout exceed %2 sectors").arg(name).arg(MAX_SECTORS));
                m_sectors.push_back({type, static_cast<uint32_t>(address), sectorSize});
            }
        }
        // Groups ascend without overlap, so the sum stays below 4 GiB.
        m_total += end - start;
    }
    return true;
}

unsigned CFlashConfig::envaluate_sector_count_to_save_data(unsigned int length) const
{
    uint64_t sum = 0;
    unsigned count = 0;
    for (const SFlashSector& sector : m_sectors) {
        sum += sector.size;
        ++count;
        if (sum >= length)
            break;
    }
    return count;
}

bool CFlashConfig::fail(const QString& text)
{
    m_error = text;
    return false;
}
