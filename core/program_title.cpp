#include "core/program_title.h"

QString program_title()
{
    return QStringLiteral("Tandora V1.7");
}
