#include "FakeShellServices.h"

#include <filesystem>
#include <system_error>

void FakeShellServices::Answer(Outcome& done, bool succeeded) {
    if (AnswerLater) {
        pending_.emplace_back(std::move(done), succeeded);
    } else {
        done(succeeded);
    }
}

void FakeShellServices::AnswerPending() {
    // An answer may ask the next action, whose answer then waits for the next call.
    std::vector<std::pair<Outcome, bool>> answers;
    answers.swap(pending_);
    for (auto& [done, succeeded] : answers) {
        done(succeeded);
    }
}

void FakeShellServices::OpenFile(const std::string& path, Outcome done) {
    Calls.push_back("open " + path);
    Answer(done, OpenResult);
}

void FakeShellServices::OpenUrl(const std::string& url, Outcome done) {
    Calls.push_back("url " + url);
    Answer(done, UrlResult);
}

void FakeShellServices::RevealSelectFile(const std::string& location, const std::string& fileName,
                                         Outcome done) {
    Calls.push_back("reveal " + location + "|" + fileName);
    Answer(done, RevealResult);
}

void FakeShellServices::ExploreFolder(const std::string& location, Outcome done) {
    Calls.push_back("explore " + location);
    Answer(done, ExploreResult);
}

void FakeShellServices::StartFileManager(const std::string& location, Outcome done) {
    Calls.push_back("filemanager " + location);
    Answer(done, FileManagerResult);
}

bool FakeShellServices::DeleteFileForGood(const std::string& path) {
    Calls.push_back("delete " + path);
    if (BeforeDelete) {
        BeforeDelete();
    }
    if (!ConfirmDelete) {
        return false;
    }
    std::error_code error;
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::filesystem::remove(file, error);
    return !error && !std::filesystem::exists(std::filesystem::symlink_status(file));
}

std::string FakeShellServices::BrowseForFolder() {
    Calls.push_back("browse");
    return BrowseAnswer;
}

void FakeShellServices::Beep() {
    ++Beeps;
}

int FakeShellServices::CountCalls(const std::string& prefix) const {
    int count = 0;
    for (const std::string& call : Calls) {
        if (call.rfind(prefix, 0) == 0) {
            ++count;
        }
    }
    return count;
}
