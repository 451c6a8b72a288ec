// The receiver captures in tests/data/captures, and what a replay of one sends.
#ifndef GPS_SIM_TESTS_CAPTURE_SUPPORT_H
#define GPS_SIM_TESTS_CAPTURE_SUPPORT_H

#include <string>

// The corpus folder, with a trailing '/'.
std::string CorpusDir();

// The capture with its '#' comment lines taken out, every other byte kept.
std::string WithoutComments(const std::string& capture);

#endif
