#include "export.h"

#include <gtest/gtest.h>
