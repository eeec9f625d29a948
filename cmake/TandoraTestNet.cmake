# Checks that keep the suite from passing by accident, run by ctest with the tests (label
# "net"): no wait in a test that can run out without failing it, and, where every target
# exists (the fuzzing configuration builds fuzz/ too), no test source that no target
# compiles. A work-in-progress commit once emptied a test program's source list, and the
# program passed, empty, for a hundred commits.

add_test(NAME test_waits_fail_on_time_out
         COMMAND ${CMAKE_COMMAND} -DSOURCE_ROOT=${PROJECT_SOURCE_DIR} -P ${PROJECT_SOURCE_DIR}/cmake/check_test_waits.cmake)
set_tests_properties(test_waits_fail_on_time_out PROPERTIES LABELS net)

# The sources, made absolute, of every target in `dir` and the folders below it.
function(tandora_target_sources dir out)
  set(found)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(sources ${target} SOURCES)
    get_target_property(target_dir ${target} SOURCE_DIR)
    if(NOT sources)
      continue()
    endif()
    foreach(source ${sources})
      if(NOT source MATCHES "^\\$<")
        get_filename_component(path ${source} ABSOLUTE BASE_DIR ${target_dir})
        list(APPEND found ${path})
      endif()
    endforeach()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    tandora_target_sources(${sub} below)
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

if(TANDORA_FUZZ)
  tandora_target_sources(${PROJECT_SOURCE_DIR} owned)
  list(REMOVE_DUPLICATES owned)
  list(JOIN owned "\n" owned_text)
  file(WRITE ${PROJECT_BINARY_DIR}/target_sources.txt "${owned_text}\n")
  add_test(NAME test_sources_in_targets
           COMMAND ${CMAKE_COMMAND} -DSOURCE_ROOT=${PROJECT_SOURCE_DIR} -DOWNED=${PROJECT_BINARY_DIR}/target_sources.txt
                   -P ${PROJECT_SOURCE_DIR}/cmake/check_test_sources.cmake)
  set_tests_properties(test_sources_in_targets PROPERTIES LABELS net)
endif()

# Every header of the program's folders compiled alone: the header sets, and, compiled file
# by file, the libraries whose sources lead with their own headers (cmake/TandoraTargets.cmake).
if(CMAKE_VERIFY_INTERFACE_HEADER_SETS)
  add_custom_target(headers_alone)
  add_dependencies(headers_alone all_verify_interface_header_sets)
  if(NOT TANDORA_UNITY)
    get_property(libraries GLOBAL PROPERTY TANDORA_LIBRARIES)
    add_dependencies(headers_alone ${libraries})
  endif()
endif()
