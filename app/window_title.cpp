#include "app/window_title.h"

#include "core/pedal_view.h"

QString window_title(const SPedalIdentity& pedal, bool demo)
{
    const QString base = program_title();
    if (!pedal.open)
        return base + " - (No device connected !)";
    if (!pedal.update_mode)
        return base + " - (Please enter update mode !)";
    if (!pedal.known_model)
        return base + " - (Unknown device connected !)";
    return QString("%1 - (%2 - %3, %4)")
        .arg(base)
        .arg(demo ? QStringLiteral("Demo") : QStringLiteral("Connected"))
        .arg(pedal.model)
        .arg(QStringLiteral("Ver=") + firmware_version_text(pedal.firmware_version));
}
