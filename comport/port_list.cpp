#include <cstdlib>
#include <cstring>

#include "comport/comport.h"

// Windows lists the serial ports it has under this key, one value per port
// whose data is its name ("COM3"); Wine fills it for its mapped ports too.
static const char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The slot index of a name "COM1" to "COM16", or -1.
static int32_t SlotOfName(const char* name) {
  if (strncmp(name, "COM", 3) != 0 || name[3] < '1' || name[3] > '9') return -1;
  char* end = nullptr;
  long number = strtol(name + 3, &end, 10);
  if (*end != '\0' || number < 1 || number > COM_PORT_COUNT) return -1;
  return static_cast<int32_t>(number - 1);
}

int32_t OrvoCOMListPorts(uint32_t* portsOut) {
  if (!portsOut) return 1;
  *portsOut = 0;
  HKEY key;
  LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_QUERY_VALUE, &key);
  // Windows makes the key only once a serial port exists.
  if (opened == ERROR_FILE_NOT_FOUND) return 0;
  if (opened != ERROR_SUCCESS) return 1;
  for (DWORD i = 0;; ++i) {
    char valueName[256];
    DWORD nameLength = sizeof valueName;
    char data[32];
    DWORD dataLength = sizeof data - 1;
    DWORD type = 0;
    LONG result = RegEnumValueA(key, i, valueName, &nameLength, nullptr, &type,
                                reinterpret_cast<BYTE*>(data), &dataLength);
    if (result == ERROR_NO_MORE_ITEMS) break;
    // A value too long for a port name is not one of ours.
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    data[dataLength] = '\0';
    int32_t slot = SlotOfName(data);
    if (slot >= 0) *portsOut |= 1u << slot;
  }
  (void)RegCloseKey(key);  // a key of our own: nothing to do if it fails
  return 0;
}
