#pragma once

#include "work_runner.h"

#include <QString>

// What the window says when it is closed while `state`'s work runs: the question when the
// work can still be cancelled ("An import is running. Cancel it and close?"), the notice
// when it cannot ("The firmware update cannot stop now. The window closes when it has
// finished.").
QString close_question(EWorkState state);
QString close_notice(EWorkState state);
