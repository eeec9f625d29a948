// Feeds layout texts to the layout loader and the value parser, and checks the invariants
// every loaded layout keeps. An input whose first byte is odd is taken as raw INI text; an
// even one as values, one per line, poured into groups FLASH 1, FLASH 2, … (TYPE, Start
// Address, End Address, Sector Size), so the fuzzer reaches the group checks without
// having to guess the INI names, which it cannot see inside QSettings.
#include "firmware/flash_config.h"

#include <QList>
#include <cstdlib>

namespace {

QByteArray layout_from_values(const QByteArray& values)
{
    static const char* const KEYS[] = {"TYPE", "Start Address", "End Address", "Sector Size"};
    const QList<QByteArray> lines = values.split('\n');
    QByteArray text;
    for (int i = 0; i < lines.size(); ++i) {
        if (i % 4 == 0)
            text += "[FLASH " + QByteArray::number(i / 4 + 1) + "]\n";
        text += QByteArray(KEYS[i % 4]) + "=" + lines[i] + "\n";
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data) + 1, static_cast<int>(size - 1));
    (void)parse_flash_config_value(QString::fromLatin1(input));

    CFlashConfig config;
    const bool loaded = config.load_flash_config_text(data[0] & 1 ? input : layout_from_values(input));
    const std::vector<SFlashSector>& sectors = config.sectors();
    if (sectors.size() > CFlashConfig::MAX_SECTORS)
        std::abort();
    uint64_t covered = 0;
    for (const SFlashSector& sector : sectors) {
        if (sector.type != sectors.front().type || sector.size == 0)
            std::abort();
        covered += sector.size;
    }
    // Sectors cover at least the layout's total, the last one of a group perhaps more.
    if (loaded && covered < config.total())
        std::abort();
    if (config.envaluate_sector_count_to_save_data(config.total()) > sectors.size())
        std::abort();
    return 0;
}
