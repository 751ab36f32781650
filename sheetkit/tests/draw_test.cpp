#include "draw.h"

#include <gtest/gtest.h>
