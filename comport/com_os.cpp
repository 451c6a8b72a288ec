#include "comport/com_os.h"

const ComOs kRealComOs = {
    CreateFileA,  GetCommTimeouts, SetCommTimeouts,        GetCommState,
    SetCommState, SetupComm,       EscapeCommFunction,     PurgeComm,
    CloseHandle,  CreateEventA,    CreateThread,           ReadFile,
    WriteFile,    GetOverlappedResult, WaitForMultipleObjects, ClearCommError,
    CancelIoEx,
};

ComOs gComOs = kRealComOs;
