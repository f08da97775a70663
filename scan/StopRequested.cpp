#include "StopRequested.h"

bool StopRequested = false;
