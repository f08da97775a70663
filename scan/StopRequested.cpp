#include "StopRequested.h"

std::atomic<bool> StopRequested{false};
