#include "FakeShellServices.h"

#include <filesystem>
#include <system_error>

bool FakeShellServices::OpenFile(const std::string& path) {
    Calls.push_back("open " + path);
    return OpenResult;
}

bool FakeShellServices::OpenUrl(const std::string& url) {
    Calls.push_back("url " + url);
    return UrlResult;
}

bool FakeShellServices::RevealSelectFile(const std::string& location, const std::string& fileName) {
    Calls.push_back("reveal " + location + "|" + fileName);
    return RevealResult;
}

bool FakeShellServices::ExploreFolder(const std::string& location) {
    Calls.push_back("explore " + location);
    return ExploreResult;
}

bool FakeShellServices::StartFileManager(const std::string& location) {
    Calls.push_back("filemanager " + location);
    return FileManagerResult;
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
