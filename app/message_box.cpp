#include "app/message_box.h"

#include "app/user_prompt.h"
#include "core/operation_result.h"

void show_message(const QString& text)
{
    user_prompt().show_message(QStringLiteral("Message"), text);
}

void show_messages(const QStringList& texts)
{
    for (const QString& text : texts)
        show_message(text);
}

void show_result(const COperationResult& result)
{
    show_messages(result.notes());
    if (result.kind() == COperationResult::EKind::DECLINED)
        return;
    if (result.detail().isEmpty())
        show_message(result.text());
    else
        show_message(result.text() + QLatin1Char('\n') + result.detail());
}
