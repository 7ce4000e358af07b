# Scrolling, drawing and printing of the control made by class id in a host
# window on a private X display, with real pointer and wheel events; the
# model is never linked here.
find_package(Qt6 REQUIRED COMPONENTS PrintSupport Widgets)
kl_add_x_test(NAME test_use_control_scroll_draw
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/control_scroll_draw_use_test.cpp
          ${PROJECT_SOURCE_DIR}/tests/support/gui/printer_object.cpp
  LIBS kl_qtplatform Qt6::PrintSupport ${CMAKE_DL_LIBS})
target_include_directories(test_use_control_scroll_draw PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(test_use_control_scroll_draw PRIVATE KL_VINCA5_PATH="$<TARGET_FILE:vinca5>")
add_dependencies(test_use_control_scroll_draw vinca5)
