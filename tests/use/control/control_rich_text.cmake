# Rich text and pictures in grid cells, read back from the screen of a
# private X display: the control made by ProgID in a host window, every
# call through IDispatch; the model is never linked here.
kl_add_x_test(NAME test_use_control_rich_text
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/control_rich_text_use_test.cpp
  LIBS kl_qtplatform ${CMAKE_DL_LIBS})
target_include_directories(test_use_control_rich_text PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(test_use_control_rich_text PRIVATE KL_VINCA5_PATH="$<TARGET_FILE:vinca5>")
add_dependencies(test_use_control_rich_text vinca5)
