# Every CTest test carries at least one of the labels that scripts/test and .ci/run select by
# (fast, slow, gui, sanitize, external), so that a new test cannot drop out of `scripts/test
# --fast` or the sanitizer runs unnoticed. Run as
#   cmake -DBUILD_DIR=<build folder> -DCTEST=<ctest> -P check_test_labels.cmake
cmake_minimum_required(VERSION 3.25)
# The tests that no known label selects (a test that was never built stands in as NAME_NOT_BUILT
# and has no properties: not counted).
execute_process(COMMAND "${CTEST}" --test-dir "${BUILD_DIR}" -N -LE "^(fast|slow|gui|sanitize|external)$"
                OUTPUT_VARIABLE listing RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "ctest -N failed: ${errors}")
endif()
string(REGEX MATCHALL "Test +#[0-9]+: [^\n]+" lines "${listing}")
set(unlabelled "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "Test +#[0-9]+: " "" name "${line}")
  if(NOT name MATCHES "_NOT_BUILT$")
    list(APPEND unlabelled "${name}")
  endif()
endforeach()
if(unlabelled)
  list(JOIN unlabelled "\n  " shown)
  message(FATAL_ERROR "tests without a label of fast, slow, gui, sanitize or external:\n  ${shown}")
endif()
execute_process(COMMAND "${CTEST}" --test-dir "${BUILD_DIR}" -N OUTPUT_VARIABLE all)
string(REGEX MATCH "Total Tests: [0-9]+" total "${all}")
message(STATUS "every test is labelled (${total})")
