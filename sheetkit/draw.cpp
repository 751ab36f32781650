#include "draw.h"
