// Replaying a capture: its lines, grouped into the receiver's seconds.
#ifndef GPS_SIM_REPLAY_H
#define GPS_SIM_REPLAY_H

#include <string>
#include <vector>

// One second of the capture: its lines, each with its own line end as the
// file has it (CR LF, LF, or none on a last line).
using ReplayGroup = std::vector<std::string>;

// Splits a capture into second groups.  Lines starting with '#' are the
// capture's comments, not receiver output, and are left out.  A new group
// starts at each GGA, RMC, GLL or ZDA sentence whose hhmmss differs from the
// time that opened the current group; other lines, and sentences with an
// empty time, join the current group.  Lines before the first timed sentence
// belong to the first group.
std::vector<ReplayGroup> SplitIntoSeconds(const std::string& capture);

// Reads a whole file.  On failure returns false and sets error to the reason.
bool ReadCaptureFile(const std::string& path, std::string& contents, std::string& error);

#endif
