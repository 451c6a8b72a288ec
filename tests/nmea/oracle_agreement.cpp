#include "oracle_agreement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

void Compare(Agreement* row, bool oracleHas, double oracle, bool oursHas, double ours, double tolerance) {
  if (!oracleHas && !oursHas) return;
  ++row->compared;
  if (oracleHas && oursHas && std::fabs(oracle - ours) <= tolerance) ++row->agreed;
}

void ExpectAgreement(const Agreement* rows, size_t count) {
  std::printf("%-24s %9s %9s %9s\n", "field", "agreed", "compared", "floor");
  for (size_t i = 0; i < count; ++i)
    std::printf("%-24s %9d %9d %9d\n", rows[i].field, rows[i].agreed, rows[i].compared, rows[i].target);
  for (size_t i = 0; i < count; ++i) EXPECT_GE(rows[i].agreed, rows[i].target) << rows[i].field;
}
