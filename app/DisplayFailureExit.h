#pragma once

#include <QtGlobal>
#include <string_view>

// Held while the QApplication is being created. When the display that the environment names
// cannot be opened (a DISPLAY whose server is gone), Qt's platform plugin ends the program
// with a fatal message about reinstalling it, and abort; while this object lives, that
// message and the plugin's notes before it are replaced by `message` on the error stream and
// the program exits with status 1, as without any display. The plugin's notes of a start
// that succeeds are passed on when this object goes.
class DisplayFailureExit {
public:
    explicit DisplayFailureExit(std::string_view message);
    ~DisplayFailureExit();
    DisplayFailureExit(const DisplayFailureExit&) = delete;
    DisplayFailureExit& operator=(const DisplayFailureExit&) = delete;

private:
    QtMessageHandler previousHandler_ = nullptr;
};
