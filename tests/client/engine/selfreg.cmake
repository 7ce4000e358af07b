# An update installs a server library and registers it: the library carries
# its version information in an ELF section, once with the self-registration
# request and once without.
foreach(_variant declares silent)
  set(_lib kl_test_selfreg_${_variant})
  add_library(${_lib} MODULE ${CMAKE_CURRENT_LIST_DIR}/selfreg_server.cpp)
  target_link_libraries(${_lib} PRIVATE kl_platform_com)
  set_target_properties(${_lib} PROPERTIES CXX_VISIBILITY_PRESET hidden)
  # Keep the layer's own symbols private to the library, as every server does.
  target_link_options(${_lib} PRIVATE -Wl,--exclude-libs,ALL)
  kl_embed_version_info(${_lib} ${CMAKE_CURRENT_LIST_DIR}/selfreg_${_variant}.rc)
endforeach()

kl_add_test(NAME test_client_selfreg
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/selfreg_test.cpp ${CMAKE_CURRENT_LIST_DIR}/engine_publish.cpp
  LIBS kl_client_engine kl_platform_com)
add_dependencies(test_client_selfreg kl_test_selfreg_declares kl_test_selfreg_silent)
target_compile_definitions(test_client_selfreg PRIVATE
  KL_SELFREG_DECLARES="$<TARGET_FILE:kl_test_selfreg_declares>"
  KL_SELFREG_SILENT="$<TARGET_FILE:kl_test_selfreg_silent>")
