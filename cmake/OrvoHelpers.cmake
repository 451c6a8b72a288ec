# Small helpers shared by every directory's CMakeLists.txt.

# GoogleTest: the system package natively; for the cross build, the sources
# that Debian ships in /usr/src/googletest, built with the cross compiler.
macro(orvo_find_gtest)
  if(NOT TARGET GTest::gtest_main)
    if(CMAKE_CROSSCOMPILING)
      set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
      set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
      set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
      add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
      # GoogleTest 1.11 and later define these aliases themselves.
      if(NOT TARGET GTest::gtest_main)
        add_library(GTest::gtest ALIAS gtest)
        add_library(GTest::gtest_main ALIAS gtest_main)
      endif()
    else()
      find_package(GTest REQUIRED)
    endif()
  endif()
endmacro()

# orvo_add_gtest(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>]
#                [PROPERTIES <ctest properties...>])
# One GoogleTest executable registered as one ctest test.  Cross-built tests
# run through CMAKE_CROSSCOMPILING_EMULATOR (Wine) automatically.
function(orvo_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;PROPERTIES" ${ARGN})
  orvo_find_gtest()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_PROPERTIES)
    set_tests_properties(${name} PROPERTIES ${T_PROPERTIES})
  endif()
  if(CMAKE_CROSSCOMPILING)
    orvo_use_wine_prefix(${name})
  endif()
endfunction()

# Runs a cross-built test in the prefix of the vnullmodem fixture
# (tests/CMakeLists.txt), so that no test touches the user's own Wine prefix.
function(orvo_use_wine_prefix name)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "WINEPREFIX=${ORVO_VNM_STATE}/wineprefix;WINEDEBUG=-all"
    FIXTURES_REQUIRED vnullmodem)
endfunction()
