#include "test_wait.h"

#include <gtest/gtest.h>
#include <QTest>

bool wait_or_fail(const std::function<bool()>& done, int timeout_ms, const char* file, int line)
{
    if (QTest::qWaitFor(done, timeout_ms))
        return true;
    ADD_FAILURE_AT(file, line) << "waited " << timeout_ms << " ms in vain";
    return false;
}
