// Counting the process's open handles in a way that sees one leaked handle.
#ifndef ORVOGPS_TESTS_HANDLE_COUNT_H
#define ORVOGPS_TESTS_HANDLE_COUNT_H

#include <windows.h>

// GetProcessHandleCount is a stub that always gives 0 under Wine 8, so this
// asks GetHandleInformation about each handle value in turn instead.
DWORD CountOpenHandles();

#endif
