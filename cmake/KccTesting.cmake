# GoogleTest for both builds, and the two ways a test is registered: natively, or through wine.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
if(NOT TARGET gtest)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# A native GoogleTest program: ASan and UBSan come with the native build's flags.
function(kcc_add_native_test target)
  add_test(NAME ${target} COMMAND ${target} ${ARGN})
endfunction()

# A Win32 test program run by wine in the harness's test prefix (the emulator is put in front by
# ctest). The prefix, its wineserver, Xvfb and the driver service are started by the fixture.
# Test programs are kept out of the program's folder; KCC_BIN_DIR tells them where it is.
function(kcc_add_wine_test target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests-bin)
  add_test(NAME ${target} COMMAND ${target} ${ARGN})
  set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wineenv RESOURCE_LOCK wineprefix TIMEOUT 600 LABELS wine
                       ENVIRONMENT "KCC_BIN_DIR=${KCC_BIN_DIR};KCC_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()

# A shell-driven Win32 test (end to end, stress): same fixture, same lock.
function(kcc_add_wine_script_test name)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wineenv RESOURCE_LOCK wineprefix TIMEOUT 1200 LABELS wine
                       ENVIRONMENT "KCC_TESTENV=${KCC_TESTENV};KCC_BIN_DIR=${KCC_BIN_DIR};KCC_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
