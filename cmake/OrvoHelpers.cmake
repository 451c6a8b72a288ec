# Small helpers shared by every directory's CMakeLists.txt.

# The oldest Windows the build runs on, Windows 7: without these, mingw-w64's
# headers target Windows 10 and hand out flags that Windows 7 refuses (the
# touch and pointer bits of QS_ALLINPUT).
set(ORVO_WINDOWS_BASELINE _WIN32_WINNT=0x0601 WINVER=0x0601)

# orvo_add_library(<name> HEADERS <public headers...> SOURCES <files...>)
# One of the libraries a user links: a static library with its public
# headers (installed under include/ with the same paths as in the tree), the
# alias OrvoGPS::<name> that a parent project and an installed package both
# offer, and on Windows the Windows 7 baseline as a usage requirement.
function(orvo_add_library name)
  cmake_parse_arguments(L "" "" "HEADERS;SOURCES" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  add_library(OrvoGPS::${name} ALIAS ${name})
  target_sources(${name} PUBLIC FILE_SET HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR} FILES ${L_HEADERS})
  # What the public headers need; the library itself builds as C++17.
  target_compile_features(${name} PUBLIC cxx_std_11)
  if(WIN32)
    target_compile_definitions(${name} INTERFACE ${ORVO_WINDOWS_BASELINE})
  endif()
  set_property(GLOBAL APPEND PROPERTY ORVO_LIBRARIES ${name})
endfunction()

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
