# Fails when a C or C++ file other than nmea/compiler_support.h names a
# compiler's builtin, attribute, pragma or identifying macro.
#   cmake -DSOURCE_DIR=<checkout> -P portable_source_test.cmake
cmake_minimum_required(VERSION 3.25)

set(pattern "__builtin_|__attribute__|__declspec|__forceinline|_Pragma|#[ \t]*pragma|_MSC_VER|__GNUC__|__clang__")
file(GLOB_RECURSE sources
  ${SOURCE_DIR}/app/*.[ch] ${SOURCE_DIR}/app/*.cpp
  ${SOURCE_DIR}/comport/*.[ch] ${SOURCE_DIR}/comport/*.cpp
  ${SOURCE_DIR}/nmea/*.[ch] ${SOURCE_DIR}/nmea/*.cpp
  ${SOURCE_DIR}/resources/*.h
  ${SOURCE_DIR}/tools/*.[ch] ${SOURCE_DIR}/tools/*.cpp
  ${SOURCE_DIR}/tests/*.[ch] ${SOURCE_DIR}/tests/*.cpp)
list(REMOVE_ITEM sources ${SOURCE_DIR}/nmea/compiler_support.h)
set(found)
foreach(source IN LISTS sources)
  file(STRINGS ${source} lines REGEX "${pattern}")
  foreach(line IN LISTS lines)
    file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
    string(STRIP "${line}" line)
    list(APPEND found "${name}: ${line}")
  endforeach()
endforeach()
list(LENGTH sources count)
if(count LESS 50)
  message(FATAL_ERROR "only ${count} sources found under ${SOURCE_DIR}")
endif()
if(found)
  list(JOIN found "\n  " found)
  message(FATAL_ERROR "compiler-specific code outside nmea/compiler_support.h:\n  ${found}")
endif()
message(STATUS "${count} sources, none compiler-specific")
