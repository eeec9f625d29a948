#include "support/app_identity.h"

#include <QCoreApplication>

const char kOrganisationName[] = "Tandora";
const char kOrganisationDomain[] = "tandora.example";
const char kApplicationName[] = "Tandora";

QString app_id()
{
    return QStringLiteral(TANDORA_APP_ID);
}

QString program_version()
{
    return QStringLiteral(TANDORA_VERSION);
}

void apply_app_identity()
{
    QCoreApplication::setOrganizationName(kOrganisationName);
    QCoreApplication::setOrganizationDomain(kOrganisationDomain);
    QCoreApplication::setApplicationName(kApplicationName);
}
