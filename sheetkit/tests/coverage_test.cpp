#include "coverage.h"

#include <gtest/gtest.h>
