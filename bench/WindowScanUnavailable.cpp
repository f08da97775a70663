// A build without Qt has no window to drive.
#include "BenchedScan.h"

#include <stdexcept>

bool WindowScanAvailable() {
    return false;
}

std::unique_ptr<BenchedScan> MakeWindowScan(int&, char**, const std::string&) {
    throw std::runtime_error("this build has no window (configured with BULKON_WITH_QT=OFF)");
}
