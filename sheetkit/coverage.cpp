#include "coverage.h"
