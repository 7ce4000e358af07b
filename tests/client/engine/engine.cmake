# The client engine above the transfer side: context, log, criteria, INF
# readers, download and installation.
file(GLOB engine_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/engine_*.cpp)
kl_add_test(NAME test_client_engine
  SOURCES ${engine_test_sources}
  LIBS kl_client_engine
  TIMEOUT 600)
target_compile_definitions(test_client_engine PRIVATE
  KL_ENGINE_TEST_DATA="${CMAKE_CURRENT_LIST_DIR}/data")
# Files left for copy on restart are copied by the program the next start runs.
if(TARGET klrunonce)
  add_dependencies(test_client_engine klrunonce)
  target_compile_definitions(test_client_engine PRIVATE KL_RUNONCE_PROGRAM="$<TARGET_FILE:klrunonce>")
endif()

# Version-resource files made by the version reader's tests.
if(TARGET kl_fileinfo_fixtures)
  add_dependencies(test_client_engine kl_fileinfo_fixtures)
  target_compile_definitions(test_client_engine PRIVATE
    KL_ENGINE_PE_LIBRARY="${CMAKE_BINARY_DIR}/tests/platform/fileinfo/fixtures/library.dll")
endif()

kl_add_fuzzer(NAME fuzz_engine_inf SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_engine_inf.cpp LIBS kl_client_engine)
