// The serial ports the receiver panel offers, and the port slot each names.
#ifndef ORVOGPS_APP_PORT_NAMES_H
#define ORVOGPS_APP_PORT_NAMES_H

#include <cstdint>

constexpr int32_t PORT_NAME_COUNT = 8;

// "COM1" to "COM8", then a null end marker.
extern const char* const PortNameList[PORT_NAME_COUNT + 1];

// The port slot (0 for COM1) of a name from PortNameList, or -1 for any
// other text, so that nothing else ever reaches the receiver open.
int32_t PortIndexFromName(const char* name);

#endif
