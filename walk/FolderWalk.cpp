#include "FolderWalk.h"

#include "WalkCore.h"

FolderWalk::FolderWalk(std::shared_ptr<FolderSource> source, const std::string& root,
                       int readAheadThreads)
    : core_(std::make_unique<WalkCore>(std::move(source), root, readAheadThreads)) {}

FolderWalk::FolderWalk(const std::string& root, int readAheadThreads)
    : FolderWalk(MakeSystemFolderSource(), root, readAheadThreads) {}

FolderWalk::~FolderWalk() = default;

const std::string& FolderWalk::Root() const {
    return core_->Root();
}

int FolderWalk::DefaultReadAheadThreads() {
    return ReadAhead::DefaultWorkerCount();
}

void FolderWalk::SetWaitHook(std::function<bool()> hook) {
    core_->SetWaitHook(std::move(hook));
}

FolderSkip FolderWalk::OpenRoot() {
    return core_->OpenRoot();
}

bool FolderWalk::Next(DirectoryEntry& entry) {
    return core_->Next(entry);
}

FolderSkip FolderWalk::Enter() {
    return core_->Enter();
}

FolderSkip FolderWalk::EndReason() const {
    return core_->EndReason();
}

void FolderWalk::Leave() {
    core_->Leave();
}

int FolderWalk::Depth() const {
    return core_->Depth();
}
