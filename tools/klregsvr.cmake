# Registers or unregisters an in-process server library in the registry
# store of the current machine (KL_MACHINE_ROOT when set).
add_executable(klregsvr ${CMAKE_CURRENT_LIST_DIR}/klregsvr.cpp)
target_link_libraries(klregsvr PRIVATE kl_platform_com)
