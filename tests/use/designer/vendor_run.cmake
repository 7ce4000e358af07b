# A vendor's whole piece of work through real keys and clicks: KLDesigner as a
# child process on the private X display from a new description to the update
# files, then KLClient as a child process installing them from nginx.
find_package(Qt6 REQUIRED COMPONENTS Test)
kl_add_x_test(NAME test_vendor_run_use
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/vendor_run_use_test.cpp
  LIBS kl_designer_ui kl_designer_test_support kl_platform_archive Qt6::Test
  TIMEOUT 900)
target_include_directories(test_vendor_run_use PRIVATE ${PROJECT_SOURCE_DIR}/tests/KLDesigner/ui)
target_compile_definitions(test_vendor_run_use PRIVATE
  KL_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots/use" KLD_VINCA5_PATH="$<TARGET_FILE:vinca5>" KLD_PROGRAM_PATH="$<TARGET_FILE:KLDesigner>"
  KLC_PROGRAM_PATH="$<TARGET_FILE:KLClient>")
add_dependencies(test_vendor_run_use vinca5 KLDesigner KLClient)
