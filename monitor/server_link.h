// The shared receiver's connection: a thread that connects to the server,
// asks for the sentences, feeds what comes to the context (GpsRxBytes: the
// sentence, bytes and epoch callbacks see it as from a port), and connects
// again a second after the connection failed or ended, until stopped.
#ifndef ORVOGPS_MONITOR_SERVER_LINK_H
#define ORVOGPS_MONITOR_SERVER_LINK_H

#include <cstdint>

#include <nmea/nmea.h>

// Starts the thread for host:port feeding context; false (reason in reason,
// size bytes) when it cannot start.
bool ServerLinkStart(const char* host, uint16_t port, GpsContext* context, char* reason, int size);
// Ends the thread and its connection; returns when it has ended.
void ServerLinkStop();
// SERVER_... and the error that ended the last connection (0 for none).
int32_t ServerLinkState(uint32_t* error);

#endif
