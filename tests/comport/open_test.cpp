// Opening a port: the result codes, what a failed open leaves behind, and the
// line settings a successful one applies.
#include <gtest/gtest.h>

#include "comport/comport.h"
#include "far_end.h"
#include "os_fakes.h"
#include "rx_recorder.h"

namespace {

constexpr int kPair = 1;
constexpr uint32_t kUntouched = 0xDEADBEEF;

int32_t OpenGps(int32_t index, ComPort** port, uint32_t* error, int32_t flow = 1) {
  return OrvoCOMOpenPort(index, 4800, 8, NOPARITY, ONESTOPBIT, flow, nullptr, port, RecordRx,
                         error);
}

DWORD HandleCount() {
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return count;
}

TEST(comport_open_test, index_outside_the_table_is_code_1_without_any_os_call) {
  InstallFakeOs();
  OrvoCOMInitPorts();
  for (int32_t index : {16, -1, 1000}) {
    ComPort* port = nullptr;
    uint32_t error = kUntouched;
    EXPECT_EQ(1, OpenGps(index, &port, &error)) << index;
    EXPECT_EQ(kUntouched, error) << index;
    EXPECT_EQ(nullptr, port) << index;
  }
  EXPECT_EQ(0, TotalCallCount());
  RestoreRealOs();
}

TEST(comport_open_test, missing_output_on_a_closed_slot_is_code_1_without_any_os_call) {
  InstallFakeOs();
  OrvoCOMInitPorts();
  ComPort* port = nullptr;
  uint32_t error = kUntouched;
  EXPECT_EQ(1, OpenGps(NearIndex(kPair), &port, nullptr));
  EXPECT_EQ(1, OpenGps(NearIndex(kPair), nullptr, &error));
  EXPECT_EQ(kUntouched, error);
  EXPECT_EQ(0, TotalCallCount());
  EXPECT_EQ(0, OrvoCOMGetPort(NearIndex(kPair))->isOpen);
  RestoreRealOs();
}

TEST(comport_open_test, open_slot_is_code_4_even_with_missing_outputs_and_keeps_running) {
  OrvoCOMInitPorts();
  RecorderReset();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  ComPort* port = nullptr;
  uint32_t error = kUntouched;
  ASSERT_EQ(0, OpenGps(NearIndex(kPair), &port, &error));
  EXPECT_EQ(kUntouched, error);
  EXPECT_EQ(OrvoCOMGetPort(NearIndex(kPair)), port);

  ComPort* second = nullptr;
  EXPECT_EQ(4, OpenGps(NearIndex(kPair), &second, &error));
  EXPECT_EQ(4, OpenGps(NearIndex(kPair), nullptr, nullptr));
  EXPECT_EQ(nullptr, second);
  EXPECT_EQ(kUntouched, error);

  ASSERT_TRUE(FarWrite(cable, "still here", 10));
  EXPECT_TRUE(WaitUntil([] { return RecordedSize() >= 10; }, 5000));
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  CloseHandle(cable);
}

TEST(comport_open_test, name_that_maps_to_nothing_is_code_2_with_the_os_error) {
  OrvoCOMInitPorts();
  DWORD handles = HandleCount();
  for (int32_t index : {4, 9, 15}) {  // COM5, COM10, COM16
    ComPort* port = nullptr;
    uint32_t error = kUntouched;
    EXPECT_EQ(2, OpenGps(index, &port, &error)) << index;
    EXPECT_EQ(static_cast<uint32_t>(ERROR_FILE_NOT_FOUND), error) << index;
    EXPECT_EQ(nullptr, port) << index;
    EXPECT_EQ(0, OrvoCOMGetPort(index)->isOpen) << index;
  }
  EXPECT_EQ(handles, HandleCount());
}

struct FailedStep {
  const char* legend;
  OsCall call;
  int nth;
  int32_t code;
};

const FailedStep kFailedSteps[] = {
    {"reading the device's timeouts", OsCall::GetCommTimeouts, 1, 8},
    {"reading the line settings", OsCall::GetCommState, 1, 11},
    {"applying the line settings", OsCall::SetCommState, 1, 10},
    {"applying the fixed timeouts", OsCall::SetCommTimeouts, 1, 8},
    {"sizing the driver queues", OsCall::SetupComm, 1, 13},
    {"raising DTR", OsCall::EscapeCommFunction, 1, 12},
    {"making the threads' stop event", OsCall::CreateEvent, 1, 14},
    {"starting the reader thread", OsCall::CreateThread, 1, 14},
    {"starting the writer thread", OsCall::CreateThread, 2, 14},
};

TEST(comport_open_test, failed_step_gives_its_code_and_error_and_leaves_no_handle_or_thread) {
  OrvoCOMInitPorts();
  DWORD error = 1000;
  for (const FailedStep& step : kFailedSteps) {
    DWORD handles = HandleCount();
    InstallFakeOs();
    FailCall(step.call, Role::Opener, step.nth, ++error);
    ComPort* port = nullptr;
    uint32_t stored = kUntouched;
    EXPECT_EQ(step.code, OpenGps(NearIndex(kPair), &port, &stored)) << step.legend;
    EXPECT_EQ(error, stored) << step.legend;
    EXPECT_EQ(nullptr, port) << step.legend;
    ComPort* slot = OrvoCOMGetPort(NearIndex(kPair));
    EXPECT_EQ(0, slot->isOpen) << step.legend;
    EXPECT_EQ(nullptr, slot->hDevice) << step.legend;
    RestoreRealOs();
    EXPECT_EQ(handles, HandleCount()) << step.legend;

    // Nothing is left holding the device: the same slot opens again at once.
    ASSERT_EQ(0, OpenGps(NearIndex(kPair), &port, &stored)) << step.legend;
    EXPECT_EQ(0, OrvoCOMClosePort(port)) << step.legend;
  }
}

TEST(comport_open_test, line_settings_follow_the_flow_control_type) {
  OrvoCOMInitPorts();
  ComPort* port = nullptr;
  uint32_t error = 0;

  ASSERT_EQ(0, OpenGps(NearIndex(kPair), &port, &error, 1));
  const DCB& dcb = port->dcb;
  EXPECT_EQ(4800u, dcb.BaudRate);
  EXPECT_EQ(8, dcb.ByteSize);
  EXPECT_EQ(NOPARITY, dcb.Parity);
  EXPECT_EQ(ONESTOPBIT, dcb.StopBits);
  EXPECT_EQ(0, dcb.EvtChar);
  EXPECT_EQ(1u, dcb.fParity);
  EXPECT_EQ(1u, dcb.fOutxCtsFlow);
  EXPECT_EQ(0u, dcb.fOutxDsrFlow);
  EXPECT_EQ(static_cast<DWORD>(DTR_CONTROL_ENABLE), dcb.fDtrControl);
  EXPECT_EQ(0u, dcb.fDsrSensitivity);
  EXPECT_EQ(1u, dcb.fTXContinueOnXoff);
  EXPECT_EQ(0u, dcb.fOutX);
  EXPECT_EQ(0u, dcb.fInX);
  EXPECT_EQ(0u, dcb.fErrorChar);
  EXPECT_EQ(static_cast<DWORD>(RTS_CONTROL_ENABLE), dcb.fRtsControl);
  EXPECT_EQ(1u, port->timeouts.ReadIntervalTimeout);
  EXPECT_EQ(0u, port->timeouts.ReadTotalTimeoutMultiplier);
  EXPECT_EQ(0u, port->timeouts.ReadTotalTimeoutConstant);
  EXPECT_EQ(0u, port->timeouts.WriteTotalTimeoutMultiplier);
  EXPECT_EQ(0u, port->timeouts.WriteTotalTimeoutConstant);
  COMMTIMEOUTS applied = {};
  ASSERT_TRUE(GetCommTimeouts(port->hDevice, &applied));
  EXPECT_EQ(1u, applied.ReadIntervalTimeout);
  EXPECT_EQ(0, OrvoCOMClosePort(port));

  ASSERT_EQ(0, OpenGps(NearIndex(kPair), &port, &error, 2));
  EXPECT_EQ(0u, port->dcb.fOutxCtsFlow);
  EXPECT_EQ(1u, port->dcb.fOutX);
  EXPECT_EQ(1u, port->dcb.fInX);
  EXPECT_EQ(0, OrvoCOMClosePort(port));

  // Other types keep the device's flow control: here what type 2 left.
  ASSERT_EQ(0, OpenGps(NearIndex(kPair), &port, &error, 0));
  EXPECT_EQ(0u, port->dcb.fOutxCtsFlow);
  EXPECT_EQ(1u, port->dcb.fOutX);
  EXPECT_EQ(1u, port->dcb.fInX);
  EXPECT_EQ(1u, port->dcb.fParity);
  EXPECT_EQ(0, OrvoCOMClosePort(port));
}

// Registered to run without the modem-line shim, where a pty refuses DTR.
TEST(comport_open_without_modem_lines_test, refused_dtr_is_code_12_and_leaves_nothing_behind) {
  if (!getenv("ORVO_EXPECT_NO_MODEM_LINES")) GTEST_SKIP() << "runs only without the shim";
  OrvoCOMInitPorts();
  DWORD handles = HandleCount();
  ComPort* port = nullptr;
  uint32_t error = kUntouched;
  EXPECT_EQ(12, OpenGps(NearIndex(kPair), &port, &error));
  EXPECT_EQ(static_cast<uint32_t>(ERROR_NOT_SUPPORTED), error);
  EXPECT_EQ(nullptr, port);
  EXPECT_EQ(handles, HandleCount());
  EXPECT_EQ(12, OpenGps(NearIndex(kPair), &port, &error));
}

}  // namespace
