#include "demo/demo_reset.h"

QString demo_reset_title()
{
    return QStringLiteral("Reset the demo pedal");
}

QString demo_reset_question(const QString& model)
{
    return QStringLiteral(
               "Reset the demo %1? Every song and firmware change of this demo pedal is lost; the demo "
               "pedals of the other models keep theirs.")
        .arg(model);
}
