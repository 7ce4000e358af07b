# Values and formats, the tree stream and every stored form of a tree.
kl_add_test(NAME test_vinca_storage
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/storage_values_test.cpp
  LIBS kl_vinca_model)
