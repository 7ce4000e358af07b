# klrunonce: runs and deletes the RunOnce commands of the registry store.
add_executable(klrunonce ${CMAKE_CURRENT_LIST_DIR}/klrunonce.cpp)
target_link_libraries(klrunonce PRIVATE kl_client_engine)
install(TARGETS klrunonce RUNTIME DESTINATION bin)
# Copies an update left for the next start are made when the person next logs in.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/kestrelite-runonce.desktop DESTINATION etc/xdg/autostart)
