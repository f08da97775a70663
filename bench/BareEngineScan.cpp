#include "BenchedScan.h"
#include "NullIconLookup.h"
#include "NullScanWindow.h"
#include "scan/ScanEngine.h"

namespace {

class BareEngineScan final : public BenchedScan {
public:
    void Scan(const std::string& folder) override { engine_.StartScan(folder); }
    ScanEngine& Engine() override { return engine_; }

private:
    NullScanWindow window_;
    NullIconLookup icons_;
    ScanEngine engine_{window_, icons_};
};

} // namespace

std::unique_ptr<BenchedScan> MakeBareEngineScan() {
    return std::make_unique<BareEngineScan>();
}
