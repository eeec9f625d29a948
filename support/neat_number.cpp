#include "support/neat.h"

#include <QStringList>

namespace NEAT {

uint32_t GetChecksumByByte(const unsigned char* data, int count)
{
    uint32_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum += data[i];
    return sum;
}

QString convert_version_to_str(uint32_t version)
{
    return QString::asprintf("%d.%d.%d", static_cast<int>((version >> 16) & 0xFF),
                             static_cast<int>((version >> 8) & 0xFF), static_cast<int>(version & 0xFF));
}

uint32_t convert_str_to_version(const QString& text)
{
    uint32_t version = 0;
    for (const QString& part : text.split('.', Qt::KeepEmptyParts)) {
        bool ok = false;
        const int value = part.toInt(&ok, 10);
        version = (version << 8) | static_cast<uint32_t>(ok ? value : 0);
    }
    return version;
}

}  // namespace NEAT
