# The item tree, names, attribute sets, search, addressing and the tree engine.
kl_add_test(NAME test_vinca_model_core
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/core_containers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/core_item_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/core_search_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/core_engine_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/core_attr_sources_test.cpp
  LIBS kl_vinca_model)
