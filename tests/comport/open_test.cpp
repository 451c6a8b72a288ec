// Opening a port: the result codes, what a failed open leaves behind, and the
// line settings a successful one applies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comport/comport.h"
#include "far_end.h"
#include "handle_count.h"
#include "os_fakes.h"
#include "rx_recorder.h"

namespace {

constexpr int kPair = 1;
constexpr uint32_t kUntouched = 0xDEADBEEF;

int32_t OpenGps(int32_t index, ComPort** port, uint32_t* error, int32_t flow = 1) {
  return OrvoCOMOpenPort(index, 4800, 8, NOPARITY, ONESTOPBIT, flow, nullptr, port, RecordRx,
                         error);
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
  DWORD handles = CountOpenHandles();
  for (int32_t index : {4, 9, 15}) {  // COM5, COM10, COM16
    ComPort* port = nullptr;
    uint32_t error = kUntouched;
    EXPECT_EQ(2, OpenGps(index, &port, &error)) << index;
    EXPECT_EQ(static_cast<uint32_t>(ERROR_FILE_NOT_FOUND), error) << index;
    EXPECT_EQ(nullptr, port) << index;
    EXPECT_EQ(0, OrvoCOMGetPort(index)->isOpen) << index;
  }
  EXPECT_EQ(handles, CountOpenHandles());
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
    DWORD handles = CountOpenHandles();
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
    EXPECT_EQ(handles, CountOpenHandles()) << step.legend;

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

uintptr_t U(DWORD value) { return value; }

TEST(comport_open_test, device_opens_unshared_for_overlapped_io_under_its_device_path) {
  // COM11 is pair 1's far end; the bare name would reach only COM1 to COM9.
  struct {
    int32_t index;
    const char* path;
  } const kPorts[] = {{NearIndex(kPair), "\\\\.\\COM1"}, {10, "\\\\.\\COM11"}};
  OrvoCOMInitPorts();
  for (const auto& p : kPorts) {
    InstallFakeOs();
    ComPort* port = nullptr;
    uint32_t error = 0;
    ASSERT_EQ(0, OpenGps(p.index, &port, &error)) << p.path;
    ASSERT_LT(0, LoggedCallCount());
    const LoggedCall& open = LoggedCallAt(0);
    ASSERT_EQ(OsCall::CreateFile, open.call) << p.path;
    EXPECT_STREQ(p.path, open.path);
    EXPECT_EQ(U(GENERIC_READ | GENERIC_WRITE), open.args[0]) << p.path;
    EXPECT_EQ(0u, open.args[1]) << p.path << ": the device is not shared";
    EXPECT_EQ(0u, open.args[2]) << p.path << ": security attributes";
    EXPECT_EQ(U(OPEN_EXISTING), open.args[3]) << p.path;
    EXPECT_EQ(U(FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL), open.args[4]) << p.path;
    EXPECT_EQ(0u, open.args[5]) << p.path << ": template";
    EXPECT_EQ(port->hDevice, open.handle) << p.path;
    EXPECT_EQ(0, OrvoCOMClosePort(port)) << p.path;
    RestoreRealOs();
  }
}

TEST(comport_open_test, open_configures_in_order_then_starts_the_reader_before_the_writer) {
  InstallFakeOs();
  OrvoCOMInitPorts();
  ComPort* port = nullptr;
  uint32_t error = 0;
  ASSERT_EQ(0, OpenGps(NearIndex(kPair), &port, &error));
  std::vector<LoggedCall> calls;
  for (int i = 0; i < LoggedCallCount(); ++i) {
    const LoggedCall& call = LoggedCallAt(i);
    // The threads' own calls, and the event the close uses to end them, are
    // not steps of the open.
    if (call.role == Role::Opener && call.call != OsCall::CreateEvent) calls.push_back(call);
  }
  const OsCall kOrder[] = {
      OsCall::CreateFile,    OsCall::GetCommTimeouts,    OsCall::GetCommState,
      OsCall::SetCommState,  OsCall::SetCommTimeouts,    OsCall::SetupComm,
      OsCall::EscapeCommFunction, OsCall::CreateThread,  OsCall::CreateThread,
  };
  ASSERT_EQ(sizeof kOrder / sizeof kOrder[0], calls.size());
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(kOrder[i], calls[i].call) << "step " << i;
    if (i > 0 && i < 7) {
      EXPECT_EQ(port->hDevice, calls[i].handle) << "step " << i;
    }
  }
  EXPECT_EQ(port->savedTimeouts.ReadIntervalTimeout, calls[1].timeouts.ReadIntervalTimeout);
  EXPECT_EQ(port->savedTimeouts.ReadTotalTimeoutConstant, calls[1].timeouts.ReadTotalTimeoutConstant);
  EXPECT_EQ(port->dcb.BaudRate, calls[3].dcb.BaudRate);
  EXPECT_EQ(port->dcb.fOutxCtsFlow, calls[3].dcb.fOutxCtsFlow);
  const COMMTIMEOUTS& fixed = calls[4].timeouts;
  EXPECT_EQ(1u, fixed.ReadIntervalTimeout);
  EXPECT_EQ(0u, fixed.ReadTotalTimeoutMultiplier);
  EXPECT_EQ(0u, fixed.ReadTotalTimeoutConstant);
  EXPECT_EQ(0u, fixed.WriteTotalTimeoutMultiplier);
  EXPECT_EQ(0u, fixed.WriteTotalTimeoutConstant);
  EXPECT_EQ(2048u, calls[5].args[0]) << "input queue";
  EXPECT_EQ(2048u, calls[5].args[1]) << "output queue";
  EXPECT_EQ(U(SETDTR), calls[6].args[0]);
  const LPTHREAD_START_ROUTINE kProcs[] = {ReaderAndStatusProc, WriterProc};
  for (int t = 0; t < 2; ++t) {
    const LoggedCall& create = calls[7 + t];
    EXPECT_EQ(0u, create.args[0]) << t << ": default security";
    EXPECT_EQ(0u, create.args[1]) << t << ": default stack size";
    EXPECT_EQ(reinterpret_cast<uintptr_t>(kProcs[t]), create.args[2]) << t;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(port), create.args[3]) << t;
    EXPECT_EQ(0u, create.args[4]) << t << ": runs at once";
  }
  EXPECT_EQ(calls[7].handle, port->hReaderThread);
  EXPECT_EQ(calls[8].handle, port->hWriterThread);
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  RestoreRealOs();
}

// A device state in which every member differs from what the open sets, so
// a member the open must leave alone shows whether it did.
int gDeviceFlow;  // which of two made-up flow settings the device reports
void MadeUpDeviceState(DCB* dcb) {
  dcb->BaudRate = 1200;
  dcb->ByteSize = 7;
  dcb->Parity = EVENPARITY;
  dcb->StopBits = TWOSTOPBITS;
  dcb->EvtChar = 'E';
  dcb->fParity = 0;
  dcb->fOutxDsrFlow = 1;
  dcb->fDtrControl = DTR_CONTROL_HANDSHAKE;
  dcb->fDsrSensitivity = 1;
  dcb->fTXContinueOnXoff = 0;
  dcb->fErrorChar = 1;
  dcb->fRtsControl = RTS_CONTROL_TOGGLE;
  dcb->fBinary = 0;
  dcb->fNull = 1;
  dcb->fAbortOnError = 1;
  dcb->XonLim = 111;
  dcb->XoffLim = 222;
  dcb->XonChar = 'n';
  dcb->XoffChar = 'f';
  dcb->ErrorChar = '?';
  dcb->EofChar = 'z';
  dcb->fOutxCtsFlow = gDeviceFlow == 0 ? 1 : 0;
  dcb->fOutX = gDeviceFlow == 0 ? 0 : 1;
  dcb->fInX = gDeviceFlow == 0 ? 1 : 0;
}

TEST(comport_open_test, line_settings_change_only_the_members_the_flow_type_names) {
  OrvoCOMInitPorts();
  for (int32_t flow : {1, 2, 0, 3, -1}) {
    for (int device = 0; device < 2; ++device) {
      InstallFakeOs();
      gDeviceFlow = device;
      EditReportedState(MadeUpDeviceState);
      DCB reported = {};
      MadeUpDeviceState(&reported);
      ComPort* port = nullptr;
      uint32_t error = 0;
      // Only the low 8 bits of the three line values count.
      ASSERT_EQ(0, OrvoCOMOpenPort(NearIndex(kPair), 4800, 0x108, 0x200, 0x100, flow, nullptr,
                                   &port, nullptr, &error))
          << flow;
      const LoggedCall* get = nullptr;
      const LoggedCall* set = nullptr;
      for (int i = 0; i < LoggedCallCount(); ++i) {
        if (LoggedCallAt(i).call == OsCall::GetCommState) get = &LoggedCallAt(i);
        if (LoggedCallAt(i).call == OsCall::SetCommState) set = &LoggedCallAt(i);
      }
      ASSERT_NE(nullptr, get) << flow;
      ASSERT_NE(nullptr, set) << flow;
      EXPECT_EQ(sizeof(DCB), get->args[1]) << "GetCommState is told the size of the DCB, flow type " << flow;
      const DCB dcb = set->dcb;
      EXPECT_EQ(0, OrvoCOMClosePort(port));
      RestoreRealOs();

      std::string legend = "flow type " + std::to_string(flow) + ", device " +
                           std::to_string(device);
      EXPECT_EQ(4800u, dcb.BaudRate) << legend;
      EXPECT_EQ(8, dcb.ByteSize) << legend;
      EXPECT_EQ(NOPARITY, dcb.Parity) << legend;
      EXPECT_EQ(ONESTOPBIT, dcb.StopBits) << legend;
      EXPECT_EQ(0, dcb.EvtChar) << legend;
      EXPECT_EQ(1u, dcb.fParity) << legend;
      EXPECT_EQ(0u, dcb.fOutxDsrFlow) << legend;
      EXPECT_EQ(U(DTR_CONTROL_ENABLE), dcb.fDtrControl) << legend;
      EXPECT_EQ(0u, dcb.fDsrSensitivity) << legend;
      EXPECT_EQ(1u, dcb.fTXContinueOnXoff) << legend;
      EXPECT_EQ(0u, dcb.fErrorChar) << legend;
      EXPECT_EQ(U(RTS_CONTROL_ENABLE), dcb.fRtsControl) << legend;
      EXPECT_EQ(reported.fBinary, dcb.fBinary) << legend;
      // The device reports both on; a line error must not fail reads, and no
      // byte may be dropped.
      EXPECT_EQ(0u, dcb.fNull) << legend;
      EXPECT_EQ(0u, dcb.fAbortOnError) << legend;
      EXPECT_EQ(reported.XonLim, dcb.XonLim) << legend;
      EXPECT_EQ(reported.XoffLim, dcb.XoffLim) << legend;
      EXPECT_EQ(reported.XonChar, dcb.XonChar) << legend;
      EXPECT_EQ(reported.XoffChar, dcb.XoffChar) << legend;
      EXPECT_EQ(reported.ErrorChar, dcb.ErrorChar) << legend;
      EXPECT_EQ(reported.EofChar, dcb.EofChar) << legend;
      DWORD cts = reported.fOutxCtsFlow, outX = reported.fOutX, inX = reported.fInX;
      if (flow == 1) {
        cts = 1, outX = 0, inX = 0;
      } else if (flow == 2) {
        cts = 0, outX = 1, inX = 1;
      }
      EXPECT_EQ(cts, dcb.fOutxCtsFlow) << legend;
      EXPECT_EQ(outX, dcb.fOutX) << legend;
      EXPECT_EQ(inX, dcb.fInX) << legend;
    }
  }
}

// Registered to run without the modem-line shim, where a pty refuses DTR.
TEST(comport_open_without_modem_lines_test, refused_dtr_is_code_12_and_leaves_nothing_behind) {
  if (!getenv("ORVO_EXPECT_NO_MODEM_LINES")) GTEST_SKIP() << "runs only without the shim";
  OrvoCOMInitPorts();
  DWORD handles = CountOpenHandles();
  ComPort* port = nullptr;
  uint32_t error = kUntouched;
  EXPECT_EQ(12, OpenGps(NearIndex(kPair), &port, &error));
  EXPECT_EQ(static_cast<uint32_t>(ERROR_NOT_SUPPORTED), error);
  EXPECT_EQ(nullptr, port);
  EXPECT_EQ(handles, CountOpenHandles());
  EXPECT_EQ(12, OpenGps(NearIndex(kPair), &port, &error));
}

}  // namespace
