# Helpers shared by every folder of the project.

# Add every immediate subfolder of the current folder that has a CMakeLists.txt, sorted.
function(vardeen_add_subdirectories)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child}
       AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# Where i386 programs run under qemu's emulation (registered with binfmt_misc), tests get
# VARDEEN_TIME_SCALE times their time limits, and the end-to-end tests wait that much longer.
set(VARDEEN_TIME_SCALE 1)
if(EXISTS /proc/sys/fs/binfmt_misc/qemu-i386)
  file(READ /proc/sys/fs/binfmt_misc/qemu-i386 emulation)
  if(emulation MATCHES "^enabled")
    set(VARDEEN_TIME_SCALE 6)
  endif()
endif()

# vardeen_gtest(name SOURCES ... [LIBS ...] [TIMEOUT s])
# A GoogleTest program registered with CTest; it writes its per-case XML for the summary.
# On the win32 build CTest runs it through tools/wine-run (the cross-compiling emulator).
function(vardeen_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  math(EXPR T_TIMEOUT "${T_TIMEOUT} * ${VARDEEN_TIME_SCALE}")
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "GTEST_OUTPUT=xml:${VARDEEN_RESULTS}/${name}.xml;VARDEEN_TIME_SCALE=${VARDEEN_TIME_SCALE};VARDEEN_WINE_TIMEOUT=${T_TIMEOUT}")
endfunction()

# vardeen_script_test(name COMMAND ... [TIMEOUT s])
# A test run by a script; it may write results/<name>.count ("passed failed") for the summary.
function(vardeen_script_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "COMMAND" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  math(EXPR T_TIMEOUT "${T_TIMEOUT} * ${VARDEEN_TIME_SCALE}")
  add_test(NAME ${name} COMMAND ${T_COMMAND})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "VARDEEN_COUNT_FILE=${VARDEEN_RESULTS}/${name}.count;VARDEEN_BUILD=${CMAKE_BINARY_DIR};VARDEEN_SOURCE=${CMAKE_SOURCE_DIR}")
endfunction()

# vardeen_fuzzer(name SOURCES ... [LIBS ...] CORPUS dir-or-file ...)
# With VARDEEN_FUZZ (clang): a libFuzzer program bin/fuzz_<name>, its seeds listed one per line
# in seeds/<name>.txt for tools/fuzz.sh. Otherwise (host builds): a replay program that feeds
# every seed to the same harness, registered as a test, so ./test.sh replays the corpus (under
# ASan and UBSan in build/host-asan).
function(vardeen_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;CORPUS" ${ARGN})
  if(WIN32)
    return()
  endif()
  if(VARDEEN_FUZZ)
    add_executable(fuzz_${name} ${F_SOURCES})
    target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    string(REPLACE ";" "\n" seeds "${F_CORPUS}")
    file(WRITE ${CMAKE_BINARY_DIR}/seeds/${name}.txt "${seeds}\n")
  else()
    add_executable(replay_${name} ${F_SOURCES} ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
    target_link_libraries(replay_${name} PRIVATE ${F_LIBS})
    add_test(NAME replay_${name} COMMAND replay_${name} ${F_CORPUS})
    set_tests_properties(replay_${name} PROPERTIES TIMEOUT 300
      ENVIRONMENT "VARDEEN_COUNT_FILE=${VARDEEN_RESULTS}/replay_${name}.count")
  endif()
endfunction()

# vardeen_shipped(target): a binary that ships. It is linked with the win32 thread model's
# runtime (the sources compile as everywhere else; nothing shipped uses C++ threads), so that it
# imports only what Windows 98 SE and NT 4.0 export; tests/win32/imports checks that.
function(vardeen_shipped target)
  if(WIN32)
    set_target_properties(${target} PROPERTIES
      CXX_LINKER_LAUNCHER ${CMAKE_SOURCE_DIR}/cmake/win32-threads-link.sh)
    set_property(GLOBAL APPEND PROPERTY VARDEEN_SHIPPED ${target})
  endif()
endfunction()
