// Agreement with an oracle, field by field: a value counts as compared when
// either side has it, and as agreed when both have it and they match.  The
// oracle tests print the table and hold each field to a floor.
#ifndef ORVOGPS_TESTS_NMEA_ORACLE_AGREEMENT_H
#define ORVOGPS_TESTS_NMEA_ORACLE_AGREEMENT_H

#include <cstddef>

struct Agreement {
  const char* field;
  int agreed = 0;
  int compared = 0;
  int target;  // agreed at least
};

// A value the oracle has or ours has: compared; both and near: agreed.
void Compare(Agreement* row, bool oracleHas, double oracle, bool oursHas, double ours, double tolerance);

// Prints the rows as a table and expects each to reach its floor.
void ExpectAgreement(const Agreement* rows, size_t count);

#endif
