#pragma once

#include <QTextBrowser>
#include <QUrl>
#include <functional>
#include <string>

// The report view under the result list: shows a local HTML page whose bytes are
// Windows-1252, with its pictures taken from the program's embedded resources. Built on
// QTextBrowser, whose HTML subset the report page is written for.
//
// Pictures are addressed as "res://" + program path + "/" + TYPE + "/" + NAME and resolve to
// the embedded file ":/TYPE/NAME", type and name compared without regard to case.
//
// A followed link is never opened inside the view: it goes to the link opener, by default
// the user's web browser (QDesktopServices), with a beep when that fails. A link to an
// anchor of the page itself only scrolls there.
class HtmlView : public QTextBrowser {
    Q_OBJECT

public:
    // Receives every followed link; true when it was opened.
    using LinkOpener = std::function<bool(const QUrl&)>;

    explicit HtmlView(QWidget* parent = nullptr);

    // Shows nothing, like "about:blank".
    void NavigateBlank();

    // Shows the local file at `plainPath` (a plain path, not a URL; UTF-8 on Windows) as HTML,
    // whatever its extension, its bytes decoded as Windows-1252. "about:blank" shows nothing.
    // Throws std::system_error carrying the system's error code when the file cannot be
    // read; the view then keeps what it showed.
    void Navigate(const std::string& plainPath);

    // Repaints the view at once, without waiting for the event loop.
    void RepaintNow();

    // The file shown last, or an empty string when the view is blank.
    const std::string& CurrentFile() const { return currentFile_; }

    // Replaces the opener of followed links (tests record them instead of starting a browser).
    void SetLinkOpener(LinkOpener opener);

    // The executable path that "res://" references name; ProgramPath() unless set.
    void SetProgramPath(const std::string& programPath);
    const QString& ProgramPathText() const { return programPath_; }

    // Resolves the program's pictures; anything else as QTextBrowser does.
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void OnAnchorClicked(const QUrl& url);
    // The embedded picture for "TYPE/NAME"; a null value when there is none.
    QVariant EmbeddedPicture(const QString& typeAndName) const;
    QString RewriteResourceReferences(const QString& page) const;

    LinkOpener linkOpener_;
    QString programPath_;
    std::string currentFile_;
};
