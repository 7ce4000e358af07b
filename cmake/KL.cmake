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
