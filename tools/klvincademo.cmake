# Two filled tree-list controls in one window, created by class id from the
# registered library; can save what it shows as a PNG or a PDF page.
find_package(Qt6 REQUIRED COMPONENTS Widgets Gui)
add_executable(klvincademo ${CMAKE_CURRENT_LIST_DIR}/klvincademo.cpp)
target_link_libraries(klvincademo PRIVATE kl_qtplatform kl_platform_com Qt6::Widgets Qt6::Gui)
