# One QTest executable per behaviour area, registered with CTest and run headless.
function(add_tavik_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test tavik_test_support ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TAVIK_TOOLS_DIR=${CMAKE_BINARY_DIR}/tools;TAVIK_TEST_SUPPORT_DIR=${CMAKE_BINARY_DIR}/tests/support"
    TIMEOUT 600)
endfunction()
