# Compiler flags shared by every target of the project.
add_compile_options(-Wall -Wextra)
if(TANDORA_WERROR)
  add_compile_options(-Werror)
endif()
# gcc takes the files of a unity batch for headers, and would warn of every test whose
# fixture is in the file's anonymous namespace.
if((TANDORA_UNITY OR TANDORA_UNITY_TESTS) AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-Wno-subobject-linkage)
endif()

if(TANDORA_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(TANDORA_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT TANDORA_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TANDORA_SANITIZE must be empty, 'address' or 'thread'")
endif()

if(TANDORA_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TANDORA_FUZZ needs clang (libFuzzer)")
endif()

# The sanitizer and fuzzing builds link some thirty large programs: lld links each in a
# fraction of the time of the default linker. The package keeps the default linker.
if((TANDORA_SANITIZE OR TANDORA_FUZZ) AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  find_program(TANDORA_LLD ld.lld)
  if(TANDORA_LLD)
    add_link_options(-fuse-ld=lld)
  endif()
endif()
