# One ctest entry per GoogleTest program. Each writes an XML report that
# scripts/test adds up into the summary line.
set(ISTREL_TEST_REPORTS ${CMAKE_BINARY_DIR}/test-reports)
file(MAKE_DIRECTORY ${ISTREL_TEST_REPORTS})

# istrel_gtest(NAME SOURCES... [LIBS libs...])
function(istrel_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  if(TARGET istrel_suite_headers)
    target_precompile_headers(${name} REUSE_FROM istrel_suite_headers)
    # GCC 12 loses the system-header mark of what comes precompiled, and then
    # reports its false overflow warnings for the C library's inline wmemcpy.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${name} PRIVATE -Wno-array-bounds -Wno-stringop-overread
                             -Wno-stringop-overflow)
    endif()
  endif()
  if(WIN32)
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  set(report ${ISTREL_TEST_REPORTS}/${name}.xml)
  if(WIN32)
    # Wine sees the Unix path through drive Z:.
    set(report "Z:${report}")
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${report})
  if(WIN32)
    # cmake/wine-run's answer for a 32-bit suite on a machine that runs none.
    # The suites run side by side in the test prefix, each with places and
    # ports of its own; what some still share holds a RESOURCE_LOCK.
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endfunction()
