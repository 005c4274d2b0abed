#include "high/high.h"

#include "low/low.h"

int High() { return Low() + 1; }
