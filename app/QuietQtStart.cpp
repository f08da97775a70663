#include "QuietQtStart.h"

#include <QString>
#include <cstdlib>

namespace {
QtMessageHandler forwardedHandler = nullptr;

void SkipRuntimeFolderNotes(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths:"))) {
        return;
    }
    if (forwardedHandler != nullptr) {
        forwardedHandler(type, context, message);
    }
}
} // namespace

QuietQtStart::QuietQtStart() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') {
        return;
    }
    active_ = true;
    if (const char* folder = std::getenv("TMPDIR")) {
        temporaryFolder_ = folder;
    }
    // A file, not a folder: nothing can be created below it.
    ::setenv("TMPDIR", "/dev/null", 1);
    previousHandler_ = qInstallMessageHandler(SkipRuntimeFolderNotes);
    forwardedHandler = previousHandler_;
}

QuietQtStart::~QuietQtStart() {
    if (!active_) {
        return;
    }
    if (temporaryFolder_) {
        ::setenv("TMPDIR", temporaryFolder_->c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    qInstallMessageHandler(previousHandler_);
}
