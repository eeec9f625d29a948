#include "app/app_config.h"

#include "support/app_paths.h"

#include <QSettings>

QString read_config(const QString& key)
{
    QSettings settings(settings_file_path(), QSettings::IniFormat);
    return settings.value(key).toString();
}

void write_config(const QString& key, const QString& value)
{
    QSettings settings(settings_file_path(), QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
}
