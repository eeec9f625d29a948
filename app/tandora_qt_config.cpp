#include "app/tandora_qt.h"

#include "support/app_paths.h"

#include <QSettings>

// The path is built afresh on every call: beside a portable executable, in the user's
// configuration folder for an installed one.

QString TandoraQT::read_config(const QString& key)
{
    QSettings settings(settings_file_path(), QSettings::IniFormat);
    return settings.value(key).toString();
}

void TandoraQT::write_config(const QString& key, const QString& value)
{
    QSettings settings(settings_file_path(), QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
}
