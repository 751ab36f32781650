// Makes the readers opened by name map regular files (SHEETGEN_READ=map)
// from now on, whatever this machine's default: for the tests and the
// fuzzers, which must take the mapped path. Header-only, since the
// fuzzers do not link the test support.
#ifndef SHEETGEN_TESTS_READ_BY_MAPPING_H_
#define SHEETGEN_TESTS_READ_BY_MAPPING_H_

#include <cstdlib>

namespace sheetgen::testing {

inline void read_by_mapping() {
#ifdef _WIN32
  _putenv_s("SHEETGEN_READ", "map");
#else
  setenv("SHEETGEN_READ", "map", 1);
#endif
}

}  // namespace sheetgen::testing

#endif  // SHEETGEN_TESTS_READ_BY_MAPPING_H_
