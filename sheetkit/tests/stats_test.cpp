#include "stats.h"

#include <gtest/gtest.h>
