// The fixed debugger messages of the reader and writer threads, read as a
// debugger reads them, for each failure a test can provoke.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comport/comport.h"
#include "debug_capture.h"
#include "far_end.h"
#include "os_fakes.h"
#include "rx_recorder.h"

namespace {

constexpr int kPair = 1;
constexpr DWORD kDeadlineMs = 5000;

ComPort* gPort;

// Opens pair 1's near end with one OS call failing, waits for the failure to
// have happened, closes.  Exit code 0 when each step went as planned.
int RunWithFailure(OsCall call, Role role, int nth, bool (*happened)(),
                   void (*provoke)() = nullptr, DWORD failure = ERROR_GEN_FAILURE) {
  InstallFakeOs();
  FailCall(call, role, nth, failure);
  OrvoCOMInitPorts();
  RecorderReset();
  uint32_t error = 0;
  if (OrvoCOMOpenPort(NearIndex(kPair), 4800, 8, NOPARITY, ONESTOPBIT, 1, nullptr, &gPort,
                      RecordRx, &error) != 0) {
    return 1;
  }
  if (provoke) provoke();
  bool seen = WaitUntil(happened, kDeadlineMs);
  int closed = OrvoCOMClosePort(gPort);
  RestoreRealOs();
  return seen ? closed : 2;
}

bool ThreadEnded(HANDLE thread) { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }

int ReaderEventFails() {
  return RunWithFailure(OsCall::CreateEvent, Role::Reader, 1,
                        [] { return ThreadEnded(gPort->hReaderThread); });
}

int WriterRequestEventFails() {
  return RunWithFailure(OsCall::CreateEvent, Role::Writer, 1,
                        [] { return ThreadEnded(gPort->hWriterThread); });
}

int WriterWriteEventFails() {
  return RunWithFailure(OsCall::CreateEvent, Role::Writer, 2,
                        [] { return ThreadEnded(gPort->hWriterThread); });
}

int ReadFailsAtOnce() {
  return RunWithFailure(OsCall::ReadFile, Role::Reader, 1,
                        [] { return RoleCallCount(OsCall::ReadFile, Role::Reader) >= 2; });
}

int ReaderWaitFails() {
  return RunWithFailure(OsCall::WaitForMultipleObjects, Role::Reader, 1, [] {
    return RoleCallCount(OsCall::WaitForMultipleObjects, Role::Reader) >= 2;
  });
}

int ReadCompletionFails() {
  return RunWithFailure(
      OsCall::GetOverlappedResult, Role::Reader, 1,
      [] { return RoleCallCount(OsCall::GetOverlappedResult, Role::Reader) >= 1; },
      [] {
        HANDLE cable = FarOpen(kPair);
        FarWrite(cable, "x", 1);
        CloseHandle(cable);
      });
}

// A completed read reported as cancelled; the reader reads on.
int ReadCompletionAborted() {
  return RunWithFailure(
      OsCall::GetOverlappedResult, Role::Reader, 1,
      [] {
        return RoleCallCount(OsCall::GetOverlappedResult, Role::Reader) >= 1 &&
               RoleCallCount(OsCall::ReadFile, Role::Reader) >= 2;
      },
      [] {
        HANDLE cable = FarOpen(kPair);
        FarWrite(cable, "x", 1);
        CloseHandle(cable);
      },
      ERROR_OPERATION_ABORTED);
}

int WriterWaitFails() {
  return RunWithFailure(OsCall::WaitForMultipleObjects, Role::Writer, 1, [] {
    return RoleCallCount(OsCall::WaitForMultipleObjects, Role::Writer) >= 2;
  });
}

int WriteFailsAtOnce() {
  return RunWithFailure(
      OsCall::WriteFile, Role::Writer, 1,
      [] { return RoleCallCount(OsCall::WriteFile, Role::Writer) >= 2; },
      [] {
        TxQueuePut(gPort, "first", 5);
        TxQueuePut(gPort, "second", 6);
      });
}

// The far end is not read, so the cable fills and the writer is left waiting
// for a write; then its next wait fails.
int WriteWaitFails() {
  InstallFakeOs();
  OrvoCOMInitPorts();
  uint32_t error = 0;
  if (OrvoCOMOpenPort(NearIndex(kPair), 4800, 8, NOPARITY, ONESTOPBIT, 1, nullptr, &gPort, nullptr,
                      &error) != 0) {
    return 1;
  }
  static unsigned char block[TX_ENTRY_SIZE];
  int fullInARow = 0;
  ULONGLONG end = GetTickCount64() + kDeadlineMs;
  while (fullInARow < 200 && GetTickCount64() < end) {
    fullInARow = TxQueuePut(gPort, block, TX_ENTRY_SIZE) == TX_QUEUED ? 0 : fullInARow + 1;
    Sleep(1);
  }
  static int nth;
  nth = RoleCallCount(OsCall::WaitForMultipleObjects, Role::Writer) + 1;
  FailCall(OsCall::WaitForMultipleObjects, Role::Writer, nth, ERROR_GEN_FAILURE);
  bool seen = fullInARow == 200 && WaitUntil([] {
    return RoleCallCount(OsCall::WaitForMultipleObjects, Role::Writer) > nth;
  }, kDeadlineMs);
  int closed = OrvoCOMClosePort(gPort);
  RestoreRealOs();
  HANDLE cable = FarOpen(kPair);  // leaves the cable empty for whoever comes next
  CloseHandle(cable);
  return seen ? closed : 2;
}

struct Expected {
  const char* scenario;
  const char* message;
  // A message of the other thread that Wine may add: when the writer
  // cancels its stuck write, Wine 8 completes the reader's pending read on
  // the same device with ERROR_TIMEOUT (seen under load), which the reader
  // reports.  Real drivers cancel only the request named.
  const char* wineMayAdd;
};

const Expected kExpected[] = {
    {"reader_event_fails", "ORVOCOM: Error creating read event", nullptr},
    {"writer_request_event_fails", "CreateEvent(writ request event)", nullptr},
    {"writer_write_event_fails", "ORVOCOM: Error creating write event", nullptr},
    {"read_fails_at_once", "ReadFile in ReaderAndStatusProc", nullptr},
    {"reader_wait_fails", "WaitForSingleObject(Reader handles)", nullptr},
    {"read_completion_fails", "GetOverlappedResult (in Reader)", nullptr},
    {"writer_wait_fails", "WaitForSingleObject(ghWriterEvent)\n", nullptr},
    {"write_fails_at_once", "WriteFile\n", nullptr},
    {"write_wait_fails", "WaitForSingleObject(osWrite.hEvent)\n", "GetOverlappedResult (in Reader)"},
};

TEST(comport_debug_messages_test, each_provoked_failure_sends_its_message_once_and_exactly) {
  for (const Expected& expected : kExpected) {
    Capture capture = CaptureScenario(expected.scenario);
    ASSERT_TRUE(capture.finished) << expected.scenario;
    EXPECT_EQ(0u, capture.exitCode) << expected.scenario;
    std::vector<std::string> messages;
    std::string sent;
    for (const std::string& message : capture.messages) {
      sent += " [" + message + "]";
      if (expected.wineMayAdd == nullptr || message != expected.wineMayAdd) messages.push_back(message);
    }
    ASSERT_EQ(1u, messages.size()) << expected.scenario << ":" << sent;
    EXPECT_EQ(expected.message, messages[0]) << expected.scenario << ":" << sent;
  }
}

TEST(comport_debug_messages_test, cancelled_read_and_close_send_nothing) {
  Capture capture = CaptureScenario("read_completion_aborted");
  ASSERT_TRUE(capture.finished);
  EXPECT_EQ(0u, capture.exitCode);
  for (const std::string& message : capture.messages) ADD_FAILURE() << "sent: " << message;
}

}  // namespace

const Scenario kScenarios[] = {
    {"reader_event_fails", ReaderEventFails},
    {"writer_request_event_fails", WriterRequestEventFails},
    {"writer_write_event_fails", WriterWriteEventFails},
    {"read_fails_at_once", ReadFailsAtOnce},
    {"reader_wait_fails", ReaderWaitFails},
    {"read_completion_fails", ReadCompletionFails},
    {"writer_wait_fails", WriterWaitFails},
    {"write_fails_at_once", WriteFailsAtOnce},
    {"write_wait_fails", WriteWaitFails},
    {"read_completion_aborted", ReadCompletionAborted},
};
const int kScenarioCount = sizeof kScenarios / sizeof kScenarios[0];
