# Addresses, the transfer engine against real servers on loopback, unpacking.
kl_add_test(NAME test_client_transfer
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/transfer_url_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/transfer_engine_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/transfer_decompress_test.cpp
  LIBS kl_client_transfer)
kl_add_fuzzer(NAME fuzz_client_url SOURCES ${CMAKE_CURRENT_LIST_DIR}/transfer_url_fuzz.cpp LIBS kl_client_transfer)
