#include "app/tandora_qt.h"

#include <QCoreApplication>
#include <QSettings>

namespace {

// Built afresh on every call, beside the executable (inside the bundle on macOS).
QString config_path()
{
    return QCoreApplication::applicationDirPath() + "/Config.ini";
}

}  // namespace

QString TandoraQT::read_config(const QString& key)
{
    QSettings settings(config_path(), QSettings::IniFormat);
    return settings.value(key).toString();
}

void TandoraQT::write_config(const QString& key, const QString& value)
{
    QSettings settings(config_path(), QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
}
