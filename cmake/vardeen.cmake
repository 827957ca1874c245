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

# vardeen_gtest(name SOURCES ... [LIBS ...] [TIMEOUT s])
# A GoogleTest program registered with CTest; it writes its per-case XML for the summary.
# On the win32 build CTest runs it through tools/wine-run (the cross-compiling emulator).
function(vardeen_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "GTEST_OUTPUT=xml:${VARDEEN_RESULTS}/${name}.xml")
endfunction()

# vardeen_script_test(name COMMAND ... [TIMEOUT s])
# A test run by a script; it may write results/<name>.count ("passed failed") for the summary.
function(vardeen_script_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "COMMAND" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  add_test(NAME ${name} COMMAND ${T_COMMAND})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "VARDEEN_COUNT_FILE=${VARDEEN_RESULTS}/${name}.count;VARDEEN_BUILD=${CMAKE_BINARY_DIR};VARDEEN_SOURCE=${CMAKE_SOURCE_DIR}")
endfunction()
