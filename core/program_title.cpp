#include "core/program_title.h"

#include "support/app_identity.h"

QString program_title()
{
    return QStringLiteral("Tandora V") + program_version();
}
