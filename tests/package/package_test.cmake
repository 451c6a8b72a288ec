# Builds the consumer project (tests/consumer) against OrvoGPS the ways a
# user takes it, and runs its programs.
#   cmake -DMODE=install|subproject|archive -DSOURCE_DIR=<checkout>
#         -DBUILD_DIR=<OrvoGPS build> -DWORK_DIR=<scratch, emptied first>
#         -DGENERATOR=... -DBUILD_TYPE=... [-DTOOLCHAIN=<file>]
#         [-DCXX_COMPILER=<compiler>]
#         [-DVNM=<vnullmodem.sh> -DVNM_STATE=<dir> -DMISSING_PORT=<index>]
#         [-DPACKAGE_NAME=OrvoGPS-1.0-win64 -DCONTENTS=<expected listing>
#          -DGUI_TEST=<demo_gui_test.exe>]
#         -P package_test.cmake
# With VNM the programs are Windows ones, run under Wine in the harness.
#   install     cmake --install into a fresh prefix, the consumer against it
#   subproject  the consumer with OrvoGPS inside it (FetchContent): built, and
#               its compile and link lines checked for OrvoGPS's own flags
#   archive     cpack's zip: its listing, the consumer against the unpacked
#               tree, and the unpacked demo started until its window shows
cmake_minimum_required(VERSION 3.25)

# Runs a command with its output in a file, not a pipe: a process that Wine
# starts on the side (its desktop) may keep the standard handles it inherited
# open long after the command has ended.
function(run)
  set(log ${WORK_DIR}/command.log)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_FILE ${log} ERROR_FILE ${log}
                  TIMEOUT 240)
  file(READ ${log} out)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed (${rc}): ${command}\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

# Configures and builds a consumer project; extra arguments go to the configure.
function(build_consumer source binary)
  set(args -S ${source} -B ${binary} -G ${GENERATOR} -DCMAKE_BUILD_TYPE=${BUILD_TYPE})
  if(TOOLCHAIN)
    list(APPEND args -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN})
  else()
    list(APPEND args -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
  endif()
  run(${CMAKE_COMMAND} ${args} ${ARGN})
  run(${CMAKE_COMMAND} --build ${binary} --parallel 2)
endfunction()

# A Windows program runs under Wine through the test harness, on its display.
function(run_program binary name)
  if(VNM)
    run(sh ${VNM} run ${VNM_STATE} -- ${binary}/${name}.exe ${ARGN})
  else()
    run(${binary}/${name} ${ARGN})
  endif()
  message(STATUS "${out}")
endfunction()

function(run_consumer binary)
  run_program(${binary} decode-one)
  if(VNM)
    run_program(${binary} open-missing-port ${MISSING_PORT})
  endif()
endfunction()

# None of OrvoGPS's warning, language, sanitizer, optimisation or link
# options, nor its private definitions, on the command lines of the parent's
# own programs: the only definitions there are CMake's NDEBUG and the
# libraries' Windows 7 baseline.
function(check_no_flags_leak binary)
  file(READ ${binary}/compile_commands.json commands)
  string(JSON count LENGTH "${commands}")
  math(EXPR last "${count} - 1")
  set(checked 0)
  foreach(i RANGE ${last})
    string(JSON file GET "${commands}" ${i} file)
    if(NOT file MATCHES "/tests/consumer/[^/]+\\.cpp$")
      continue()
    endif()
    string(JSON command GET "${commands}" ${i} command)
    separate_arguments(words UNIX_COMMAND "${command}")
    foreach(word IN LISTS words)
      if(word MATCHES "^-(W|f|std=|static|flto)" OR
         (word MATCHES "^-D" AND NOT word MATCHES "^-D(NDEBUG|(_WIN32_WINNT|WINVER)=0x0601)$"))
        message(FATAL_ERROR "OrvoGPS's flag ${word} reaches the parent's ${file}:\n${command}")
      endif()
    endforeach()
    math(EXPR checked "${checked} + 1")
  endforeach()
  if(checked EQUAL 0)
    message(FATAL_ERROR "no compile command of the consumer's own sources in ${binary}")
  endif()
  file(GLOB link_lines ${binary}/CMakeFiles/*/link.txt)
  foreach(link_line IN LISTS link_lines)
    file(READ ${link_line} line)
    if(line MATCHES "(^| )-(static|flto|fsanitize)")
      message(FATAL_ERROR "OrvoGPS's link options reach ${link_line}:\n${line}")
    endif()
  endforeach()
  execute_process(COMMAND ${CMAKE_CTEST_COMMAND} -N WORKING_DIRECTORY ${binary} OUTPUT_VARIABLE listing)
  if(NOT listing MATCHES "Total Tests: 0")
    message(FATAL_ERROR "OrvoGPS registers tests in its parent:\n${listing}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

if(MODE STREQUAL "install")
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
  build_consumer(${SOURCE_DIR}/tests/consumer ${WORK_DIR}/consumer
                 -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix)
  run_consumer(${WORK_DIR}/consumer)

elseif(MODE STREQUAL "subproject")
  build_consumer(${SOURCE_DIR}/tests/consumer/subproject ${WORK_DIR}/consumer
                 -DORVOGPS_SOURCE_DIR=${SOURCE_DIR} -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)
  check_no_flags_leak(${WORK_DIR}/consumer)
  # Its mingw programs link the compiler's runtime DLLs, which Wine cannot
  # find: they are only built.
  if(NOT VNM)
    run_program(${WORK_DIR}/consumer decode-one)
  endif()

elseif(MODE STREQUAL "archive")
  # The release command, with the archive going to the scratch folder.
  run(${CMAKE_CPACK_COMMAND} -G ZIP --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR})
  set(zip ${WORK_DIR}/${PACKAGE_NAME}.zip)
  if(NOT EXISTS ${zip})
    message(FATAL_ERROR "cpack made no ${zip}")
  endif()
  run(${CMAKE_COMMAND} -E tar tf ${zip})
  string(REGEX MATCHALL "[^\n]+" entries "${out}")
  list(FILTER entries EXCLUDE REGEX "/$")
  list(SORT entries)
  file(STRINGS ${CONTENTS} expected)
  list(TRANSFORM expected PREPEND ${PACKAGE_NAME}/)
  list(SORT expected)
  if(NOT entries STREQUAL expected)
    string(REPLACE ";" "\n  " entries "${entries}")
    string(REPLACE ";" "\n  " expected "${expected}")
    message(FATAL_ERROR "${zip} holds\n  ${entries}\nexpected\n  ${expected}")
  endif()

  file(MAKE_DIRECTORY ${WORK_DIR}/unpacked)
  run(${CMAKE_COMMAND} -E chdir ${WORK_DIR}/unpacked ${CMAKE_COMMAND} -E tar xf ${zip})
  set(tree ${WORK_DIR}/unpacked/${PACKAGE_NAME})
  build_consumer(${SOURCE_DIR}/tests/consumer ${WORK_DIR}/consumer -DCMAKE_PREFIX_PATH=${tree})
  run_consumer(${WORK_DIR}/consumer)

  # The GUI test driver starts the unpacked demo and waits for its main
  # window, status line and panel.
  run(sh ${VNM} run ${VNM_STATE} --shim -- ${GUI_TEST} ${tree}/bin/orvogps-demo.exe
      --gtest_filter=demo_gui_test.startup)
  message(STATUS "${out}")

else()
  message(FATAL_ERROR "MODE must be install, subproject or archive, not '${MODE}'")
endif()
