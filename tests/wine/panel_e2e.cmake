# The control panel driven end to end: a cross-built GoogleTest program that
# starts quorvane.exe under Wine and works its panel from outside. Every
# case starts its own copy of the program, so the cases run one at a time.
add_executable(panel_e2e
  ${CMAKE_CURRENT_LIST_DIR}/panel_e2e.cpp
  ${CMAKE_CURRENT_LIST_DIR}/panel_e2e_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/panel_e2e_support.h)
target_include_directories(panel_e2e PRIVATE ${Quorvane_SOURCE_DIR}/app ${Quorvane_SOURCE_DIR}/panel
  ${Quorvane_SOURCE_DIR}/win32)
set_target_properties(panel_e2e PROPERTIES CXX_STANDARD 20 CXX_STANDARD_REQUIRED ON)
target_compile_definitions(panel_e2e PRIVATE UNICODE _UNICODE NOMINMAX
  QV_QUORVANE_EXE_UNIX="$<TARGET_FILE:quorvane>")
target_link_libraries(panel_e2e PRIVATE GTest::gtest_main qv_options user32 gdi32 comctl32)
add_dependencies(panel_e2e quorvane)
gtest_discover_tests(panel_e2e DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  PROPERTIES RUN_SERIAL TRUE TIMEOUT 180)
# Labels with a list value do not survive gtest_discover_tests' PROPERTIES
# (the list is flattened into property names), so they are set by a script
# that ctest reads after the discovered cases.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/panel_e2e_labels.cmake
  "if(DEFINED panel_e2e_TESTS)
  set_tests_properties(\${panel_e2e_TESTS} PROPERTIES LABELS \"wine;panel\")
endif()
")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_CURRENT_BINARY_DIR}/panel_e2e_labels.cmake)

# The trackbar class must come from a real import of comctl32: Wine has the
# class anyway, so only the import table can tell.
add_test(NAME panel_imports_comctl32
  COMMAND sh -c "${CMAKE_OBJDUMP} -p \"$1\" | grep -A40 'DLL Name: COMCTL32.dll' | grep -q InitCommonControls"
    sh $<TARGET_FILE:quorvane>)
set_tests_properties(panel_imports_comctl32 PROPERTIES LABELS "wine;panel")
