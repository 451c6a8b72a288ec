#include "capture_support.h"

std::string CorpusDir() { return GPS_SIM_CORPUS_DIR "/"; }

std::string WithoutComments(const std::string& capture) {
  std::string out;
  size_t start = 0;
  while (start < capture.size()) {
    size_t end = capture.find('\n', start);
    end = end == std::string::npos ? capture.size() : end + 1;
    if (capture[start] != '#') out.append(capture, start, end - start);
    start = end;
  }
  return out;
}
