#pragma once

#include <functional>
#include <string>

// The desktop's services that the window's commands call, free of any toolkit: each face
// gives an implementation whose dialogs belong to its own main window. Tests replace it
// with a recording fake. Paths are the bytes of the listed entry (UTF-8 on Windows), so
// that every action reaches exactly the listed file.
class ShellServices {
public:
    // How an action ended: true when it worked. Called exactly once, on the window's thread:
    // before the call returns when the answer is known at once, else later from the event
    // loop, when the desktop's helper has answered. Nothing that starts an action waits for
    // a helper on the window's thread, so the window never freezes while one makes up its
    // mind.
    using Outcome = std::function<void(bool succeeded)>;

    virtual ~ShellServices() = default;

    // Opens a file with the program the desktop associates with it. Fails when there is no
    // associated program or the file is gone.
    virtual void OpenFile(const std::string& path, Outcome done) = 0;
    // Opens a web address in the user's browser.
    virtual void OpenUrl(const std::string& url, Outcome done) = 0;

    // Showing a file's location, three ways in turn, each tried only when the one before
    // failed. `location` keeps its trailing separator; `fileName` is what follows it.
    // Stage 1: the file manager on the location with the file selected.
    virtual void RevealSelectFile(const std::string& location, const std::string& fileName,
                                  Outcome done) = 0;
    // Stage 2: the location opened with the desktop's handler for folders.
    virtual void ExploreFolder(const std::string& location, Outcome done) = 0;
    // Stage 3: the file manager started with the location as its argument.
    virtual void StartFileManager(const std::string& location, Outcome done) = 0;

    // Asks the user to confirm, then deletes the file for good (no trash). Shows the
    // failure's system message itself. True only when the file is gone. The question runs
    // an event loop of its own: the window's commands and a walk's changes may run
    // meanwhile.
    virtual bool DeleteFileForGood(const std::string& path) = 0;

    // The platform's folder picker, modal to the main window: folders only, no title.
    // Returns the chosen folder's path, or an empty string when the user cancels.
    virtual std::string BrowseForFolder() = 0;

    // The default sound.
    virtual void Beep() = 0;
};
