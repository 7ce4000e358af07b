# klrunonce: runs and deletes the RunOnce commands of the registry store.
add_executable(klrunonce ${CMAKE_CURRENT_LIST_DIR}/klrunonce.cpp)
target_link_libraries(klrunonce PRIVATE kl_client_engine)
