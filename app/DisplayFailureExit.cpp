#include "DisplayFailureExit.h"

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct HeldNote {
    QtMsgType Type;
    QString Category;
    QString Message;
};

std::string_view failureMessage;
QtMessageHandler forwardedHandler = nullptr;
std::mutex notesMutex;
std::vector<HeldNote> heldNotes;

bool IsPlatformNote(const QMessageLogContext& context) {
    return context.category != nullptr &&
           QString::fromLatin1(context.category).startsWith("qt.qpa");
}

void ReplaceDisplayFailure(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
    if (type == QtFatalMsg && message.contains(QLatin1String("platform plugin"))) {
        // Nothing of Qt's runs after this: the program says what is wrong and how to go on.
        std::fwrite(failureMessage.data(), 1, failureMessage.size(), stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (IsPlatformNote(context)) {
        // "could not connect to display": said better by the message above if it comes to
        // that, and passed on later if it does not.
        const std::lock_guard<std::mutex> lock(notesMutex);
        heldNotes.push_back({type, QString::fromLatin1(context.category), message});
        return;
    }
    if (forwardedHandler != nullptr) {
        forwardedHandler(type, context, message);
    }
}

} // namespace

DisplayFailureExit::DisplayFailureExit(std::string_view message) {
    failureMessage = message;
    previousHandler_ = qInstallMessageHandler(ReplaceDisplayFailure);
    forwardedHandler = previousHandler_;
}

DisplayFailureExit::~DisplayFailureExit() {
    qInstallMessageHandler(previousHandler_);
    std::vector<HeldNote> notes;
    {
        const std::lock_guard<std::mutex> lock(notesMutex);
        notes.swap(heldNotes);
    }
    for (const HeldNote& note : notes) {
        const QByteArray category = note.Category.toLatin1();
        const QMessageLogContext context(nullptr, 0, nullptr, category.constData());
        qt_message_output(note.Type, context, note.Message);
    }
}
