#include "FolderWalkState.h"

void FolderWalk::State::CloseFrom(std::size_t level) {
    while (Levels.size() > level) {
        if (Levels.back()->Find != INVALID_HANDLE_VALUE) {
            FindClose(Levels.back()->Find);
        }
        Levels.pop_back();
    }
}

FolderWalk::FolderWalk(const std::string& root) : root_(root), state_(std::make_unique<State>()) {}

FolderWalk::~FolderWalk() {
    state_->CloseFrom(0);
}
