# TANDORA_UNITY (TANDORA_UNITY_TESTS for the test programs): each library and test program
# is compiled in batches of 8 of its files, one translation unit a batch, so the Qt,
# GoogleTest and standard headers are parsed, and their inline functions instrumented and
# optimised, once a batch instead of once a file: under the sanitizers that was most of
# each file's compile time. Hence the names private
# to a file (anonymous namespace, static) differ between the files of a target, and none
# is named like a Qt keyword macro (emit, slots, signals).
set(TANDORA_UNITY_BATCH 8)

# Keeps in `headers_var` the headers that no source of `sources` (paths in the current
# folder) includes first: a source "name.cpp" beside "name.h" whose first #include is the
# header's path from the project's root.
function(tandora_headers_not_led_by_their_source headers_var sources)
  set(kept)
  foreach(header ${${headers_var}})
    string(REGEX REPLACE "\\.h$" ".cpp" source ${header})
    file(RELATIVE_PATH include_path ${PROJECT_SOURCE_DIR} ${header})
    set(first_include "")
    file(RELATIVE_PATH source_in_folder ${CMAKE_CURRENT_SOURCE_DIR} ${source})
    if(source_in_folder IN_LIST sources)
      file(STRINGS ${source} first_include REGEX "^#include " LIMIT_COUNT 1)
    endif()
    if(NOT first_include STREQUAL "#include \"${include_path}\"")
      list(APPEND kept ${header})
    endif()
  endforeach()
  set(${headers_var} ${kept} PARENT_SCOPE)
endfunction()

# tandora_library(<folder> SOURCES ... LIBS ...): the static library of one subsystem
# folder, named tandora_<folder> with the short alias tandora::<folder>.
function(tandora_library folder)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(tandora_${folder} STATIC ${ARG_SOURCES})
  add_library(tandora::${folder} ALIAS tandora_${folder})
  target_include_directories(tandora_${folder} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(tandora_${folder} PUBLIC ${ARG_LIBS})
  # Every header of the folder, its rooms included, is compiled alone in a build with
  # CMAKE_VERIFY_INTERFACE_HEADER_SETS (tools/test.sh has one): in a unity batch a header
  # that misses an include borrows its neighbour's. Compiled file by file, a source whose
  # first include is its own header already compiles that header alone, so only the others
  # go into the library's header set; each Qt header costs a second to parse.
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT TANDORA_UNITY)
    tandora_headers_not_led_by_their_source(headers "${ARG_SOURCES}")
  endif()
  set_property(GLOBAL APPEND PROPERTY TANDORA_LIBRARIES tandora_${folder})
  target_sources(tandora_${folder} PUBLIC FILE_SET HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR} FILES ${headers})
  # That check needs the compiler's verdict, not its code: parsing alone keeps it short.
  target_compile_options(tandora_${folder} INTERFACE
    $<$<STREQUAL:$<TARGET_PROPERTY:NAME>,tandora_${folder}_verify_interface_header_sets>:-fsyntax-only>)
  set_target_properties(tandora_${folder} PROPERTIES AUTOMOC ON
    UNITY_BUILD ${TANDORA_UNITY} UNITY_BUILD_BATCH_SIZE ${TANDORA_UNITY_BATCH})
  # The fuzz harnesses only see coverage of code built with instrumentation.
  if(TANDORA_FUZZ)
    target_compile_options(tandora_${folder} PRIVATE -fsanitize=fuzzer-no-link)
    target_link_options(tandora_${folder} INTERFACE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# tandora_test(<name> LABEL <folder> SOURCES ... LIBS ...): one GoogleTest program and
# its ctest entry, labelled with its folder and run on the offscreen Qt platform.
function(tandora_test name)
  cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} tandora::testkit)
  set_target_properties(${name} PROPERTIES AUTOMOC ON
    UNITY_BUILD ${TANDORA_UNITY_TESTS} UNITY_BUILD_BATCH_SIZE ${TANDORA_UNITY_BATCH})
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 240)
  endif()
  set_tests_properties(${name} PROPERTIES
    LABELS ${ARG_LABEL}
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()

# tandora_bench(<folder> SOURCES ... LIBS ...): the benchmark program bench_<folder>.
# It prints one "figure name: value" line per figure and is not part of the test suite.
function(tandora_bench folder)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(bench_${folder} ${ARG_SOURCES})
  target_link_libraries(bench_${folder} PRIVATE ${ARG_LIBS})
  # Figures from a sanitizer or fuzzing build mean nothing: there the benchmarks are built
  # only on request, and the test builds stay shorter.
  if(TANDORA_SANITIZE OR TANDORA_FUZZ)
    set_target_properties(bench_${folder} PROPERTIES EXCLUDE_FROM_ALL ON)
  endif()
endfunction()

# tandora_fuzzer(<name> LABEL <folder> SOURCES ... LIBS ... [CORPUS dir] [DICT file]): the
# libFuzzer harness fuzz_<name>, built only with TANDORA_FUZZ, and a short run of it in
# the test suite, from the corpus and with the dictionary given.
function(tandora_fuzzer name)
  cmake_parse_arguments(ARG "" "LABEL;CORPUS;DICT" "SOURCES;LIBS" ${ARGN})
  if(NOT TANDORA_FUZZ)
    return()
  endif()
  add_executable(fuzz_${name} ${ARG_SOURCES})
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_${name} PRIVATE ${ARG_LIBS})
  set(corpus_args)
  if(ARG_DICT)
    list(APPEND corpus_args -dict=${ARG_DICT})
  endif()
  if(ARG_CORPUS)
    list(APPEND corpus_args ${ARG_CORPUS})
  endif()
  # In the suite each harness runs briefly, as a guard over its seeds and their neighbours;
  # the long runs are tools/fuzz.sh's.
  add_test(NAME fuzz_${name}
           COMMAND fuzz_${name} -max_total_time=2 -rss_limit_mb=1024 -timeout=10 ${corpus_args}
           WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(fuzz_${name} PROPERTIES LABELS ${ARG_LABEL} TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0")
endfunction()
