#pragma once

#include <array>
#include <string>

// The three texts of the totals bar, panel 0 to 2, in UTF-8.
using TotalsPanelTexts = std::array<std::string, 3>;
