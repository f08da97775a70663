#pragma once

#include <QtGlobal>
#include <optional>
#include <string>

// Held while the QApplication is being created. Qt asks for the user's runtime folder then
// (to learn whether it runs in a sandbox) and, when XDG_RUNTIME_DIR is not set, creates one
// in the temporary folder, although the program needs none and promises to write nothing
// but its report pages. While this object lives, and only when XDG_RUNTIME_DIR is not set,
// the temporary folder is pointed where no folder can be made, and Qt's notes about the
// runtime folder are kept off the terminal. The destructor puts everything back.
class QuietQtStart {
public:
    QuietQtStart();
    ~QuietQtStart();
    QuietQtStart(const QuietQtStart&) = delete;
    QuietQtStart& operator=(const QuietQtStart&) = delete;

private:
    bool active_ = false;
    std::optional<std::string> temporaryFolder_;
    QtMessageHandler previousHandler_ = nullptr;
};
