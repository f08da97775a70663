#pragma once

#include "window/ShellServices.h"

#include <functional>
#include <string>
#include <vector>

// A stand-in for the desktop: records every call and answers as the test tells it. The
// delete removes the file at exactly the path it was given; `BeforeDelete` runs where the
// real confirmation would run its own event loop.
class FakeShellServices : public ShellServices {
public:
    void OpenFile(const std::string& path, Outcome done) override;
    void OpenUrl(const std::string& url, Outcome done) override;
    void RevealSelectFile(const std::string& location, const std::string& fileName,
                          Outcome done) override;
    void ExploreFolder(const std::string& location, Outcome done) override;
    void StartFileManager(const std::string& location, Outcome done) override;
    bool DeleteFileForGood(const std::string& path) override;
    std::string BrowseForFolder() override;
    void Beep() override;

    // Every call, one line each: "open PATH", "url URL", "reveal LOCATION|NAME",
    // "explore LOCATION", "filemanager LOCATION", "delete PATH", "browse".
    std::vector<std::string> Calls;
    int Beeps = 0;

    bool OpenResult = true;
    bool UrlResult = true;
    bool RevealResult = true;
    bool ExploreResult = true;
    bool FileManagerResult = true;
    // The user's answer to the delete confirmation.
    bool ConfirmDelete = true;
    // What the folder picker answers; empty means cancelled.
    std::string BrowseAnswer;
    // Runs in place of the confirmation's event loop, before the answer is taken.
    std::function<void()> BeforeDelete;
    // When set, the actions answer later, as a desktop helper does: their answers wait until
    // AnswerPending gives them, in the order asked.
    bool AnswerLater = false;
    void AnswerPending();
    std::size_t PendingAnswers() const { return pending_.size(); }

    int CountCalls(const std::string& prefix) const;

private:
    void Answer(Outcome& done, bool succeeded);
    std::vector<std::pair<Outcome, bool>> pending_;
};
