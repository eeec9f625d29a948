# cmake -DSOURCE_ROOT=<tree> -DOWNED=<list> -P check_test_sources.cmake: fails when a source
# file under tests/ or fuzz/ is compiled by no target (OWNED lists every target's sources,
# written when the build was configured), since a test nobody compiles passes unseen.
cmake_minimum_required(VERSION 3.16)
file(GLOB_RECURSE files ${SOURCE_ROOT}/tests/*.cpp ${SOURCE_ROOT}/fuzz/*.cpp)
file(STRINGS ${OWNED} owned)
set(orphans)
foreach(file ${files})
  if(NOT file IN_LIST owned)
    file(RELATIVE_PATH name ${SOURCE_ROOT} ${file})
    list(APPEND orphans ${name})
  endif()
endforeach()
if(orphans)
  list(JOIN orphans "\n  " lines)
  message(FATAL_ERROR "Test sources that no target compiles:\n  ${lines}")
endif()
