#include <sheetgen/run.h>

int main() { return sheetgen::run_program(); }
