#include "comport/comport.h"

static const char* const kPortNames[COM_PORT_COUNT] = {
    "COM1", "COM2",  "COM3",  "COM4",  "COM5",  "COM6",  "COM7",  "COM8",
    "COM9", "COM10", "COM11", "COM12", "COM13", "COM14", "COM15", "COM16",
};

static ComPort gComPortTable[COM_PORT_COUNT];

void OrvoCOMInitPorts() {
  for (int32_t i = 0; i < COM_PORT_COUNT; ++i) {
    ComPort& slot = gComPortTable[i];
    slot.name = kPortNames[i];
    // Another user of the layer (a port search, a program's own port) may
    // hold the slot: marking it closed would orphan its threads and handle.
    if (!slot.claimed.load(std::memory_order_acquire)) slot.isOpen = 0;
  }
}

ComPort* OrvoCOMGetPort(int32_t index) { return &gComPortTable[index]; }
