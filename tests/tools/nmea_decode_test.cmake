# Runs nmea-decode (through EMULATOR when set) and checks its JSON lines,
# its exit status and its error line.
file(READ "${EXPECTED}" expected)

function(run_tool)
  cmake_parse_arguments(R "" "INPUT" "ARGS" ${ARGN})
  set(input_args)
  if(R_INPUT)
    set(input_args INPUT_FILE "${R_INPUT}")
  endif()
  execute_process(COMMAND ${EMULATOR} "${TOOL}" ${R_ARGS} ${input_args}
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
  set(rc "${rc}" PARENT_SCOPE)
endfunction()

# One capture: one JSON line per decoded sentence, exit status 0.
run_tool(ARGS "${DATA_DIR}/decode_sample.log")
string(COMPARE EQUAL "${out}" "${expected}" same)
if(NOT same)
  message(SEND_ERROR "decode_sample.log decoded differently:\n${out}\nexpected:\n${expected}")
endif()
if(NOT rc EQUAL 0)
  message(SEND_ERROR "exit status ${rc}, expected 0; stderr: ${err}")
endif()

# The same bytes on standard input.
# DATA_DIR is the tool's view (Z:... under Wine); the input file is opened here.
get_filename_component(host_data_dir "${EXPECTED}" DIRECTORY)
run_tool(INPUT "${host_data_dir}/decode_sample.log")
string(COMPARE EQUAL "${out}" "${expected}" same)
if(NOT same)
  message(SEND_ERROR "standard input decoded differently:\n${out}")
endif()
if(NOT rc EQUAL 0)
  message(SEND_ERROR "standard input: exit status ${rc}, expected 0")
endif()

# An unreadable file between two good ones: one error line naming it, the
# others still decoded, exit status 2.
run_tool(ARGS "${DATA_DIR}/decode_sample.log" "${DATA_DIR}/no-such-capture.log" "${DATA_DIR}/decode_sample.log")
string(COMPARE EQUAL "${out}" "${expected}${expected}" same)
if(NOT same)
  message(SEND_ERROR "files around an unreadable one decoded differently:\n${out}")
endif()
if(NOT rc EQUAL 2)
  message(SEND_ERROR "unreadable file: exit status ${rc}, expected 2")
endif()
string(REGEX MATCHALL "\n" err_lines "${err}")
list(LENGTH err_lines err_line_count)
if(NOT err_line_count EQUAL 1)
  message(SEND_ERROR "unreadable file: expected one error line, got: ${err}")
endif()
string(FIND "${err}" "no-such-capture.log" named)
if(NOT named GREATER -1)
  message(SEND_ERROR "the error line does not name the file: ${err}")
endif()

# --stats: the same records, then the counts on one line of standard error.
# Every byte of the file counts; it holds eleven sentences that decode, one
# whose checksum is wrong and one of a type that is not decoded (ZDA).
file(SIZE "${host_data_dir}/decode_sample.log" sample_bytes)
function(sample_stats_for copies extra_bytes out_var)
  math(EXPR bytes "${sample_bytes} * ${copies} + ${extra_bytes}")
  math(EXPR sentences "11 * ${copies}")
  set(${out_var} "{\"bytes\":${bytes},\"sentences\":${sentences},\"ignored\":${copies},\"checksumErrors\":${copies},\"tooShort\":0,\"tooLong\":0,\"cutShort\":0}" PARENT_SCOPE)
endfunction()
sample_stats_for(1 0 sample_stats)
run_tool(ARGS --stats "${DATA_DIR}/decode_sample.log")
string(COMPARE EQUAL "${out}" "${expected}" same)
if(NOT same)
  message(SEND_ERROR "--stats changed the records:\n${out}")
endif()
if(NOT err STREQUAL "${sample_stats}\n")
  message(SEND_ERROR "--stats printed\n${err}\nexpected\n${sample_stats}")
endif()
# Counts run on over the files, and over standard input as well.
run_tool(ARGS "${DATA_DIR}/decode_sample.log" --stats "${DATA_DIR}/decode_sample.log")
sample_stats_for(2 0 twice_stats)
if(NOT err STREQUAL "${twice_stats}\n" OR NOT out STREQUAL "${expected}${expected}")
  message(SEND_ERROR "--stats over two files printed\n${err}\nexpected\n${twice_stats}")
endif()
run_tool(ARGS --stats INPUT "${host_data_dir}/decode_sample.log")
if(NOT err STREQUAL "${sample_stats}\n")
  message(SEND_ERROR "--stats over standard input printed\n${err}")
endif()
# A stream that ends inside a sentence: its bytes count too.
file(COPY_FILE "${host_data_dir}/decode_sample.log" "${CMAKE_CURRENT_BINARY_DIR}/decode_cut_short.log")
file(APPEND "${CMAKE_CURRENT_BINARY_DIR}/decode_cut_short.log" "$GPGGA,0927")
run_tool(ARGS --stats INPUT "${CMAKE_CURRENT_BINARY_DIR}/decode_cut_short.log")
sample_stats_for(1 11 cut_stats)
if(NOT err STREQUAL "${cut_stats}\n")
  message(SEND_ERROR "--stats over a stream cut short printed\n${err}\nexpected\n${cut_stats}")
endif()
# Without --stats nothing goes to standard error.
run_tool(ARGS "${DATA_DIR}/decode_sample.log")
if(NOT err STREQUAL "")
  message(SEND_ERROR "standard error without --stats: ${err}")
endif()

# --state: each verified sentence as received, then the fix (TPV) and sky
# (SKY) objects it changed.
get_filename_component(expected_state_path "${EXPECTED}" NAME_WE)
file(READ "${host_data_dir}/${expected_state_path}.state" expected_state)
run_tool(ARGS --state "${DATA_DIR}/decode_sample.log")
string(COMPARE EQUAL "${out}" "${expected_state}" same)
if(NOT same OR NOT rc EQUAL 0)
  message(SEND_ERROR "--state printed (exit status ${rc}):\n${out}\nexpected:\n${expected_state}")
endif()

# --gpsd: a TPV and a SKY per epoch, each one line ended by CR LF as a
# socket carries it (no CR added on Windows), the file as the device.
# CMake reads output as text, without the CRs: the bytes are read apart.
run_tool(ARGS --gpsd "${DATA_DIR}/decode_sample.log")
string(REGEX MATCHALL "[^\n]+" gpsd_lines "${out}")
list(LENGTH gpsd_lines gpsd_count)
set(gpsd_class TPV)
foreach(line IN LISTS gpsd_lines)
  string(FIND "${line}" "{\"class\":\"${gpsd_class}\",\"device\":\"${DATA_DIR}/decode_sample.log\"," at)
  if(NOT at EQUAL 0)
    message(SEND_ERROR "--gpsd: expected a ${gpsd_class} line, got ${line}")
  endif()
  if(gpsd_class STREQUAL TPV)
    set(gpsd_class SKY)
  else()
    set(gpsd_class TPV)
  endif()
endforeach()
execute_process(COMMAND ${EMULATOR} "${TOOL}" --gpsd "${DATA_DIR}/decode_sample.log"
                OUTPUT_FILE "${CMAKE_CURRENT_BINARY_DIR}/decode_sample.gpsd")
# In ASCII text a byte's hex never starts with a-f: no match straddles two.
file(READ "${CMAKE_CURRENT_BINARY_DIR}/decode_sample.gpsd" gpsd_hex HEX)
string(REGEX MATCHALL "0d0a" crlf "${gpsd_hex}")
string(REGEX MATCHALL "0a" lf "${gpsd_hex}")
string(REGEX MATCHALL "0d" cr "${gpsd_hex}")
list(LENGTH crlf crlf_count)
list(LENGTH lf lf_count)
list(LENGTH cr cr_count)
if(NOT gpsd_count EQUAL 12 OR NOT crlf_count EQUAL 12 OR NOT lf_count EQUAL 12 OR NOT cr_count EQUAL 12
   OR NOT rc EQUAL 0)
  message(SEND_ERROR "--gpsd: ${gpsd_count} lines, ${crlf_count} CR LF of ${lf_count} LF and ${cr_count} CR, "
                     "exit status ${rc}:\n${out}")
endif()
run_tool(ARGS --state --gpsd "${DATA_DIR}/decode_sample.log")
if(NOT rc EQUAL 2 OR NOT out STREQUAL "")
  message(SEND_ERROR "--state with --gpsd: exit status ${rc}, expected 2, and nothing printed: ${out}")
endif()

run_tool(ARGS --help)
string(FIND "${out}" "usage: nmea-decode" usage)
if(NOT usage GREATER -1)
  message(SEND_ERROR "--help printed no usage: ${out}")
endif()
if(NOT rc EQUAL 0)
  message(SEND_ERROR "--help: exit status ${rc}, expected 0")
endif()
