#include "comport/comport.h"

static const char* const kPortNames[COM_PORT_COUNT] = {
    "COM1", "COM2",  "COM3",  "COM4",  "COM5",  "COM6",  "COM7",  "COM8",
    "COM9", "COM10", "COM11", "COM12", "COM13", "COM14", "COM15", "COM16",
};

static ComPort gComPortTable[COM_PORT_COUNT];

void OrvoCOMInitPorts() {
  for (int32_t i = 0; i < COM_PORT_COUNT; ++i) {
    gComPortTable[i].name = kPortNames[i];
    gComPortTable[i].isOpen = 0;
  }
}

ComPort* OrvoCOMGetPort(int32_t index) { return &gComPortTable[index]; }
