#pragma once

#include "scan/LocaleFormat.h"

// Reads the user's regional formats from the system locale (decimal separator, short date,
// time style).
LocaleFormat ReadSystemLocaleFormat();
