#pragma once

#include <QString>
#include <QStringList>

class COperationResult;

// The window's information boxes, titled "Message" with one OK button, through the
// installed prompt.
void show_message(const QString& text);
// One box per text, in order.
void show_messages(const QStringList& texts);
// A result as the window tells it: a box per note, then one with the text and its detail
// under it. A declined question has nothing more to tell.
void show_result(const COperationResult& result);
