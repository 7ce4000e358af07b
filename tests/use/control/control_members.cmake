# The control's members from outside: libvinca5.so registered in the test's
# machine root and made by its ProgID, alone or in a host widget, every call
# through IDispatch; the model is never linked here.
kl_add_test(NAME test_use_control_members
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/control_members_use_test.cpp $<TARGET_OBJECTS:kl_gui_test_main>
  LIBS kl_qtplatform kl_gui_test_main ${CMAKE_DL_LIBS})
target_compile_definitions(test_use_control_members PRIVATE KL_VINCA5_PATH="$<TARGET_FILE:vinca5>")
add_dependencies(test_use_control_members vinca5)
