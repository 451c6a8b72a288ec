#include "app/port_names.h"

#include <cstring>

const char* const PortNameList[PORT_NAME_COUNT + 1] = {"COM1", "COM2", "COM3", "COM4", "COM5",
                                                       "COM6", "COM7", "COM8", nullptr};

int32_t PortIndexFromName(const char* name) {
  if (std::strncmp(name, "COM", 3) != 0 || name[3] == '\0' || name[4] != '\0') return -1;
  int32_t index = name[3] - '1';
  return index >= 0 && index < PORT_NAME_COUNT ? index : -1;
}
