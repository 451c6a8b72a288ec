# Checks of the installed package beyond using it.  Each failure stops the
# configure with a message.

# Each target carries what a user needs and nothing of the source tree: its
# include path inside the install, and on Windows the Windows 7 baseline as
# its only compile definitions.
cmake_path(GET OrvoGPS_DIR PARENT_PATH prefix)  # lib/cmake
cmake_path(GET prefix PARENT_PATH prefix)       # lib
cmake_path(GET prefix PARENT_PATH prefix)       # the install prefix
set(targets nmea_core)
set(definitions "")
if(WIN32)
  list(APPEND targets comport orvogps)
  set(definitions "_WIN32_WINNT=0x0601;WINVER=0x0601")
endif()
foreach(target IN LISTS targets)
  if(NOT TARGET OrvoGPS::${target})
    message(FATAL_ERROR "the package has no OrvoGPS::${target}")
  endif()
  get_target_property(includes OrvoGPS::${target} INTERFACE_INCLUDE_DIRECTORIES)
  foreach(dir IN LISTS includes)
    # A header file set's folder comes wrapped as $<BUILD_INTERFACE:...>.
    string(REGEX REPLACE "^\\$<BUILD_INTERFACE:(.*)>$" "\\1" dir "${dir}")
    cmake_path(IS_PREFIX prefix "${dir}" NORMALIZE inside)
    if(NOT inside)
      message(FATAL_ERROR "OrvoGPS::${target} includes ${dir}, outside the install ${prefix}")
    endif()
  endforeach()
  get_target_property(target_definitions OrvoGPS::${target} INTERFACE_COMPILE_DEFINITIONS)
  if(NOT target_definitions)
    set(target_definitions "")
  endif()
  if(NOT target_definitions STREQUAL definitions)
    message(FATAL_ERROR "OrvoGPS::${target} defines '${target_definitions}', expected '${definitions}'")
  endif()
endforeach()

# Every installed header compiles alone, with nothing but the package's own
# usage requirements, in C++11 and under strict warnings.
set(headers nmea/nmea.h)
if(WIN32)
  list(APPEND headers nmea/receiver.h comport/comport.h)
endif()
set(alone_sources)
foreach(header IN LISTS headers)
  string(MAKE_C_IDENTIFIER ${header} name)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/alone_${name}.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT "#include <${header}>\n")
  list(APPEND alone_sources ${source})
endforeach()
add_library(headers-alone OBJECT ${alone_sources})
list(GET targets -1 widest)
target_link_libraries(headers-alone PRIVATE OrvoGPS::${widest})

# This project's own strictness, so that a warning in a header of the
# package fails its build: the package's include path is taken as an
# ordinary one, not as a system path whose warnings the compiler hides.
set(programs decode-one)
if(WIN32)
  list(APPEND programs open-missing-port)
endif()
foreach(target headers-alone ${programs})
  set_target_properties(${target} PROPERTIES CXX_STANDARD 11 CXX_EXTENSIONS OFF
                                             NO_SYSTEM_FROM_IMPORTED ON)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  endif()
  # mingw programs run under Wine without the compiler's runtime DLLs at hand.
  if(MINGW AND NOT target STREQUAL "headers-alone")
    target_link_options(${target} PRIVATE -static)
  endif()
endforeach()

# SameMajorVersion: a 1.x install satisfies any 1.y request up to its own,
# neither a 0.9 nor a 2.0 request.  A refused search leaves OrvoGPS_DIR not
# found; it is put back.
function(check_other_versions_refused)
  set(found_dir "${OrvoGPS_DIR}")
  foreach(other 0.9 2.0)
    find_package(OrvoGPS ${other} QUIET CONFIG)
    if(OrvoGPS_FOUND)
      message(FATAL_ERROR "find_package(OrvoGPS ${other}) accepted version ${OrvoGPS_VERSION}")
    endif()
  endforeach()
  set(OrvoGPS_DIR "${found_dir}" CACHE PATH "The directory containing OrvoGPSConfig.cmake" FORCE)
endfunction()
check_other_versions_refused()
