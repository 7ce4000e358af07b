# A container written to the standard interface order drives the control made
# by ProgID from the registered library, in a window of its own; the model is
# never linked here.
kl_add_test(NAME test_use_control_container
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/control_container_use_test.cpp $<TARGET_OBJECTS:kl_gui_test_main>
  LIBS kl_qtplatform kl_gui_test_main ${CMAKE_DL_LIBS})
target_compile_definitions(test_use_control_container PRIVATE KL_VINCA5_PATH="$<TARGET_FILE:vinca5>")
add_dependencies(test_use_control_container vinca5)
# The container's interface types are its own declarations, not the classes
# behind the pointers: the sanitizer's dynamic-type check would object to
# every call, as it would to any container built apart from the control.
if(KL_SANITIZE)
  target_compile_options(test_use_control_container PRIVATE -fno-sanitize=vptr)
endif()
