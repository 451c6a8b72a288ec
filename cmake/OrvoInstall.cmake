# cmake --install <build> --prefix P: the libraries with their headers and
# the CMake package OrvoGPS under P/lib/cmake/OrvoGPS, the programs under
# P/bin, README.md and LICENSE.  In the Windows build, `cpack -G ZIP` packs
# the same tree as OrvoGPS-<version>-win64.zip.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ORVO_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/OrvoGPS)

get_property(orvo_libraries GLOBAL PROPERTY ORVO_LIBRARIES)
install(TARGETS ${orvo_libraries} EXPORT OrvoGPSTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  # Also for users of a CMake older than 3.23, which reads no file sets.
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT OrvoGPSTargets NAMESPACE OrvoGPS:: DESTINATION ${ORVO_PACKAGE_DIR})

configure_package_config_file(cmake/OrvoGPSConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/OrvoGPSConfig.cmake
  INSTALL_DESTINATION ${ORVO_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/OrvoGPSConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/OrvoGPSConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/OrvoGPSConfigVersion.cmake
        DESTINATION ${ORVO_PACKAGE_DIR})

set(orvo_programs)
foreach(program orvogps-demo orvogps-monitor orvogps-server print-fixes nmea-decode)
  if(TARGET ${program})
    list(APPEND orvo_programs ${program})
  endif()
endforeach()
if(orvo_programs)
  install(TARGETS ${orvo_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# OrvoGPS installed on its own on Windows lives in a folder of its own, where
# README and licence sit at the top; elsewhere, and installed with a parent
# project, they go with the other packages' documents.
if(WIN32 AND PROJECT_IS_TOP_LEVEL)
  set(ORVO_DOC_DIR .)
else()
  set(ORVO_DOC_DIR ${CMAKE_INSTALL_DOCDIR})
endif()
install(FILES README.md LICENSE DESTINATION ${ORVO_DOC_DIR})

# The release zip; a parent project's packaging stays its own.
if(WIN32 AND PROJECT_IS_TOP_LEVEL)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  set(CPACK_PACKAGE_NAME OrvoGPS)
  set(CPACK_PACKAGE_VENDOR "The OrvoGPS authors")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "NMEA 0183 GPS receiver library for Windows serial ports")
  set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
  set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
  include(CPack)
endif()
