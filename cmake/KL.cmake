# Helpers shared by every folder's CMakeLists.txt.
include(KLVersionInfo)

# kl_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib1 lib2 [ENV VAR=value ...])
# Builds one GoogleTest program and registers each of its tests with CTest.
# Every test gets an emulated machine of its own (see tests/support).
function(kl_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} kl_test_support GTest::gtest GTest::gmock)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT ${T_TIMEOUT}
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;ASAN_OPTIONS=detect_leaks=1;${T_ENV}")
endfunction()

# kl_add_fuzzer(NAME name SOURCES a.cpp LIBS lib1)
# A libFuzzer target, built only when the compiler is clang; never run by the gate.
# Configure with -DKL_FUZZ=ON (and clang) so that the libraries under test are
# instrumented too; otherwise only the fuzz program itself is.
function(kl_add_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_executable(${F_NAME} ${F_SOURCES})
    target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer,address)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer,address)
    target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  endif()
endfunction()

# kl_add_x_test(NAME name SOURCES a.cpp LIBS lib1 [SCREEN WxHxD] [TIMEOUT s] [ENV VAR=value ...])
# A GoogleTest program of window tests run on a private Xvfb display with
# QT_QPA_PLATFORM=xcb, where tests/support/gui/x_input.h sends real pointer
# and key events. One CTest entry runs the whole program; every test in it
# still gets a fresh emulated machine.
function(kl_add_x_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT;SCREEN" "SOURCES;LIBS;ENV" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${T_NAME} ${T_SOURCES} $<TARGET_OBJECTS:kl_gui_test_main>)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} kl_gui_test_main kl_x_input kl_test_support
                                          GTest::gtest GTest::gmock)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  if(NOT T_SCREEN)
    set(T_SCREEN 1280x1024x24)
  endif()
  add_test(NAME ${T_NAME}
    COMMAND ${PROJECT_SOURCE_DIR}/tests/support/gui/run_under_x.sh -s ${T_SCREEN} $<TARGET_FILE:${T_NAME}>)
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT
    "LC_ALL=C.UTF-8;ASAN_OPTIONS=detect_leaks=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/gui/lsan_x11.supp;${T_ENV}")
endfunction()
