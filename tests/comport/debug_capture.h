// Debugger output of a scenario: the test program runs itself again with
// --scenario=<name> as a debuggee and collects every OutputDebugStringA text.
#ifndef ORVOGPS_TESTS_DEBUG_CAPTURE_H
#define ORVOGPS_TESTS_DEBUG_CAPTURE_H

#include <string>
#include <vector>

struct Scenario {
  const char* name;
  int (*run)();  // the debuggee's exit code: 0 when it could do what it set out to
};

// Each test program that captures debug output defines its scenarios.
extern const Scenario kScenarios[];
extern const int kScenarioCount;

struct Capture {
  bool finished;        // the debuggee ran to its end within the deadline
  unsigned exitCode;
  std::vector<std::string> messages;  // in the order sent, exactly as sent
};

Capture CaptureScenario(const char* name);

// Runs the scenario named by a --scenario= argument; returns -1 when there is none.
int RunScenarioFromArguments(int argc, char** argv);

#endif
