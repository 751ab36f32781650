// placeholder
#ifndef SHEETKIT_COVERAGE_H_
#define SHEETKIT_COVERAGE_H_
#endif
