// Asking the script that runs a test (cable_test.sh, measure-link.sh) to pull
// or put back the cable, through files in the harness's state directory, and
// the CPU a process has used, for measuring what waiting costs.
#ifndef ORVOGPS_TESTS_CABLE_REQUEST_H
#define ORVOGPS_TESTS_CABLE_REQUEST_H

#include <windows.h>

// verb "unplug" or "replug": makes <state>/cable.<verb> and waits (30 s at
// most) for the script's <state>/cable.<verb>.done.
bool CableRequest(const char* verb);

// User and kernel time of this process so far, in 100 ns units (the clock
// advances in 10 ms steps).
ULONGLONG ProcessCpu100ns();

#endif
