#include "monitor/record_file.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cstdio>

#include "monitor/recording.h"

namespace {

// Four seconds of the fastest line (921600 baud) between two writes.
unsigned char gStorage[1 << 19];
Recorder gRecorder;
HANDLE gFile = INVALID_HANDLE_VALUE;

bool WriteToFile(void* file, const unsigned char* bytes, uint32_t count, uint32_t* error) {
  DWORD written = 0;
  if (WriteFile(static_cast<HANDLE>(file), bytes, count, &written, nullptr) && written == count) return true;
  *error = GetLastError();
  if (*error == 0) *error = ERROR_DISK_FULL;  // a short write without an error: the disk took no more
  return false;
}

void CloseFile() {
  if (gFile == INVALID_HANDLE_VALUE) return;
  (void)CloseHandle(gFile);  // what was written stays whatever the close says
  gFile = INVALID_HANDLE_VALUE;
}

UtcStamp Now() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

// The user's pick, starting in the documents folder with the time's name.
bool AskPath(HWND owner, const UtcStamp& start, char* path, int size) {
  char folder[MAX_PATH] = "";
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder))) folder[0] = '\0';
  RecordingName(start, path, size);
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = "NMEA recordings (*.nmea)\0*.nmea\0All files\0*.*\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = static_cast<DWORD>(size);
  dialog.lpstrInitialDir = folder[0] ? folder : nullptr;
  dialog.lpstrTitle = "Record the receiver's stream to";
  dialog.lpstrDefExt = "nmea";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  return GetSaveFileNameA(&dialog) != FALSE;
}

}  // namespace

void RecordInit() { RecorderInit(&gRecorder, gStorage, sizeof gStorage); }

bool RecordBegin(HWND owner, const char* path, const char* source, uint32_t baudRate) {
  RecordEnd();
  char picked[RECORDING_PATH_SIZE];
  if (path == nullptr) {
    if (!AskPath(owner, Now(), picked, sizeof picked)) return false;
    path = picked;
  }
  // The recording starts once the user has picked its file.
  const UtcStamp start = Now();
  gFile = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (gFile == INVALID_HANDLE_VALUE) {
    std::snprintf(gRecorder.path, sizeof gRecorder.path, "%s", path);
    gRecorder.written = 0;
    gRecorder.error = GetLastError();
    return false;
  }
  char header[RECORDING_PATH_SIZE];
  RecordingHeader(source, baudRate, start, header, sizeof header);
  if (RecorderStart(&gRecorder, path, header, WriteToFile, gFile)) return true;
  CloseFile();
  return false;
}

bool RecordWrite() {
  if (gFile == INVALID_HANDLE_VALUE) return false;
  if (RecorderDrain(&gRecorder, WriteToFile, gFile)) return true;
  CloseFile();
  return false;
}

void RecordEnd() {
  if (gFile == INVALID_HANDLE_VALUE) return;
  (void)RecorderStop(&gRecorder, WriteToFile, gFile);  // a failure is kept for RecordNote
  CloseFile();
}

bool Recording() { return gFile != INVALID_HANDLE_VALUE; }

void RecordNote(char* text, int size) {
  FormatRecording(gRecorder, text, size);
}

void RecordFeed(const unsigned char* bytes, int32_t count) {
  RecorderFeed(&gRecorder, bytes, count);
}
