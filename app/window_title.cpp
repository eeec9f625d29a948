#include "app/window_title.h"

#include "device/model_info.h"
#include "support/neat.h"

QString window_title(bool link_open, bool update_mode, unsigned int product_id, unsigned int version, bool demo)
{
    const QString base = program_title();
    if (!link_open)
        return base + " - (No device connected !)";
    if (!update_mode)
        return base + " - (Please enter update mode !)";
    const SModelInfo* model = get_model_info(product_id);
    if (!model)
        return base + " - (Unknown device connected !)";
    return QString("%1 - (%2 - %3, Ver=V%4)")
        .arg(base)
        .arg(demo ? QStringLiteral("Demo") : QStringLiteral("Connected"))
        .arg(QString::fromLocal8Bit(model->model_name))
        .arg(NEAT::convert_version_to_str(version));
}
