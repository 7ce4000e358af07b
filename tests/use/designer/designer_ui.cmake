# The designer's main form with the real list control, driven by real
# pointer and key events on a private X display.
find_package(Qt6 REQUIRED COMPONENTS Test)
kl_add_x_test(NAME test_designer_ui_use
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/designer_ui_use_test.cpp
  LIBS kl_designer_ui kl_designer_test_support kl_platform_archive Qt6::Test)
target_include_directories(test_designer_ui_use PRIVATE ${PROJECT_SOURCE_DIR}/tests/KLDesigner/ui)
target_compile_definitions(test_designer_ui_use PRIVATE
  KL_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots/use" KL_DESIGNER_VERSION="${PROJECT_VERSION}" KLD_VINCA5_PATH="$<TARGET_FILE:vinca5>"
  KLD_PROGRAM_PATH="$<TARGET_FILE:KLDesigner>")
add_dependencies(test_designer_ui_use vinca5 KLDesigner)
