#pragma once

#include <functional>

// Pumps the event loop until `done` holds. A time-out fails the running test at the
// caller's line: QtTest's retrying macros report to QtTest, which GoogleTest never hears of, so
// a wait through them that runs out passes. The result lets a caller stop where going on
// would only pile up failures.
bool wait_or_fail(const std::function<bool()>& done, int timeout_ms = 5000, const char* file = __builtin_FILE(),
                  int line = __builtin_LINE());
