#include "RootFacts.h"

RootFacts LookAtScanRoot(const std::string& root, bool withDriveType) {
    RootFacts facts;
    facts.Space = QueryVolumeSpace(VolumeRootFor(root));
    facts.VolumeLabel = VolumeLabelFor(root);
    facts.Check = CheckScanRoot(root);
    if (withDriveType) {
        facts.Drive = QueryDriveTypeOfFile(root);
    }
    return facts;
}
