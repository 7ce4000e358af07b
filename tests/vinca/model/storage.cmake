# Values and formats, the tree stream and every stored form of a tree.
kl_add_test(NAME test_vinca_storage
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/storage_values_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/storage_stream_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/storage_files_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/storage_persist_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/storage_deep_tree_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/storage_fixtures.cpp
  LIBS kl_vinca_model)

kl_add_fuzzer(NAME fuzz_vinca_tree_stream
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/storage_fuzz_tree_stream.cpp
  LIBS kl_vinca_model)
