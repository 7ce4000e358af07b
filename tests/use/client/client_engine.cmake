# The client program run as a child process against servers on loopback:
# resumed pieces, private run folders, interrupted copies, the final program.
kl_add_test(NAME test_use_client_engine
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/client_engine_use_test.cpp
          ${PROJECT_SOURCE_DIR}/tests/client/engine/engine_publish.cpp
  LIBS kl_client_engine
  TIMEOUT 600)
target_include_directories(test_use_client_engine PRIVATE ${PROJECT_SOURCE_DIR}/tests/client/engine)
add_dependencies(test_use_client_engine KLClient)
