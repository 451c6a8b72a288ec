// The Record button's file: the reader thread's blocks go to a Recorder, the
// window writes them to the file twice a second and closes it on Stop and on
// exit.  UI thread only, but for RecordFeed.
#ifndef ORVOGPS_MONITOR_RECORD_FILE_H
#define ORVOGPS_MONITOR_RECORD_FILE_H

#include <windows.h>

#include <cstdint>

// How often what waits is written while recording.
constexpr UINT RECORD_WRITE_MS = 500;

// Before any other call, and before a receiver is opened.
void RecordInit();

// Starts recording into path, or into the file the user picks (owner's
// dialog, the documents folder and a name from the time offered) for a null
// path.  source and baudRate go into the first line.  False when nothing is
// recorded: the user cancelled, or the file could not be made (RecordNote
// says so).
bool RecordBegin(HWND owner, const char* path, const char* source, uint32_t baudRate);
// Writes what waits; false when the recording stopped on a failed write.
bool RecordWrite();
// Writes what waits and closes the file.
void RecordEnd();
bool Recording();
// What the link line says of the recording; "" for nothing.
void RecordNote(char* text, int size);

// Reader thread: a block as the port delivered it.
void RecordFeed(const unsigned char* bytes, int32_t count);

#endif
