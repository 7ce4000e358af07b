# Selection, clicks, keys and in-place editing of the registered control in
# a real X window, with real pointer and key events.
kl_add_x_test(NAME test_use_control_input
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/control_input_use_test.cpp
  LIBS kl_qtplatform ${CMAKE_DL_LIBS})
target_compile_definitions(test_use_control_input PRIVATE KL_VINCA5_PATH="$<TARGET_FILE:vinca5>")
add_dependencies(test_use_control_input vinca5)
