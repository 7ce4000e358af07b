# The client's wizard on a real X server with real input (1280-pixel screen).
find_package(Qt6 REQUIRED COMPONENTS Test)
kl_add_x_test(NAME test_client_wizard_use
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/client_wizard_use_test.cpp
          ${PROJECT_SOURCE_DIR}/tests/client/engine/engine_publish.cpp
  LIBS kl_client_ui Qt6::Test
  SCREEN 1280x1024x24)
target_include_directories(test_client_wizard_use PRIVATE
  ${PROJECT_SOURCE_DIR}/tests/client/engine ${PROJECT_SOURCE_DIR}/tests/client/ui)
target_compile_definitions(test_client_wizard_use PRIVATE
  KL_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots/use"
  KL_CLIENT_VERSION="${PROJECT_VERSION}")
