# cmake -DSOURCE_ROOT=<tree> -P check_test_waits.cmake: fails when a test waits through
# QtTest (QTRY_ macros report to QtTest, which GoogleTest never hears of, so their time-out
# passes) or through QTest::qWaitFor directly, whose result is easily dropped. Tests wait
# with wait_or_fail (tests/common/test_wait.h), which fails the test on its time-out.
cmake_minimum_required(VERSION 3.16)
file(GLOB_RECURSE files ${SOURCE_ROOT}/tests/*.cpp ${SOURCE_ROOT}/tests/*.h)
list(REMOVE_ITEM files ${SOURCE_ROOT}/tests/common/test_wait.cpp ${SOURCE_ROOT}/tests/common/test_wait.h)
set(silent)
foreach(file ${files})
  file(READ ${file} text)
  string(REGEX MATCHALL "QTRY_|qWaitFor" waits "${text}")
  list(LENGTH waits count)
  if(count GREATER 0)
    file(RELATIVE_PATH name ${SOURCE_ROOT} ${file})
    list(APPEND silent "${name}: ${count}")
  endif()
endforeach()
if(silent)
  list(JOIN silent "\n  " lines)
  message(FATAL_ERROR "Waits that can run out without failing their test (use wait_or_fail):\n  ${lines}")
endif()
