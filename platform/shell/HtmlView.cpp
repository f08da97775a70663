#include "HtmlView.h"

#include "ResourceText.h"
#include "platform/fs/Paths.h"
#include "scan/InterfaceTexts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QTextCodec>
#include <QTextDocument>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

namespace {

// The scheme that "res://" + program path references are rewritten to before the page is
// parsed. The program path is an arbitrary file path ("C:\Program Files\...", a folder
// holding '#' or '%'), which QUrl would take apart as host, fragment or escapes; the
// rewritten form "bulkon-res:/GIF/AWARDS" parses the same everywhere.
const QString kInternalScheme = QStringLiteral("bulkon-res");
const QString kResPrefix = QStringLiteral("res://");

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::FILE* OpenForReading(const std::string& path) {
    return std::fopen(path.c_str(), "rb");
}

[[noreturn]] void ThrowReadError(int savedErrno, const std::string& path) {
    throw std::system_error(savedErrno != 0 ? savedErrno : EIO, std::generic_category(),
                            FillIn(TextsFor(IsGermanUser()).PageNotShown, path));
}

QByteArray ReadFileOrThrow(const std::string& path) {
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(OpenForReading(path));
    if (!file) {
        ThrowReadError(errno, path);
    }
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const std::size_t count = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.append(buffer, static_cast<qsizetype>(count));
        if (count < sizeof buffer) {
            break;
        }
    }
    if (std::ferror(file.get())) {
        ThrowReadError(errno, path);
    }
    return bytes;
}

} // namespace

HtmlView::HtmlView(QWidget* parent)
    : QTextBrowser(parent), programPath_(QString::fromUtf8(ProgramPath())) {
    // Links go to the user's browser, never into this view.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    linkOpener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    connect(this, &QTextBrowser::anchorClicked, this, &HtmlView::OnAnchorClicked);
}

void HtmlView::NavigateBlank() {
    clear();
    currentFile_.clear();
}

void HtmlView::Navigate(const std::string& plainPath) {
    if (plainPath == "about:blank") {
        NavigateBlank();
        return;
    }
    const QByteArray bytes = ReadFileOrThrow(plainPath);
    // The page declares no character set; its bytes are Windows-1252.
    QTextCodec* codec = QTextCodec::codecForName("Windows-1252");
    const QString page = codec != nullptr ? codec->toUnicode(bytes) : QString::fromLatin1(bytes);
    setHtml(RewriteResourceReferences(page));
    currentFile_ = plainPath;
}

void HtmlView::RepaintNow() {
    viewport()->repaint();
    repaint();
}

void HtmlView::SetLinkOpener(LinkOpener opener) {
    linkOpener_ = std::move(opener);
}

void HtmlView::SetProgramPath(const std::string& programPath) {
    programPath_ = QString::fromUtf8(programPath);
}

QString HtmlView::RewriteResourceReferences(const QString& page) const {
    if (programPath_.isEmpty()) {
        return page;
    }
    QString result = page;
    // In an attribute the path may stand with its markup characters escaped.
    const QString internal = kInternalScheme + QStringLiteral(":/");
    result.replace(kResPrefix + programPath_.toHtmlEscaped() + u'/', internal, Qt::CaseInsensitive);
    result.replace(kResPrefix + programPath_ + u'/', internal, Qt::CaseInsensitive);
    return result;
}

QVariant HtmlView::EmbeddedPicture(const QString& typeAndName) const {
    const QStringList parts = typeAndName.split(u'/');
    if (parts.size() != 2) {
        return {};
    }
    const QString path = FindResourceFile(parts[0], parts[1]);
    if (path.isEmpty()) {
        return {};
    }
    const std::string bytes = ReadAllBytes(path);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QVariant HtmlView::loadResource(int type, const QUrl& name) {
    if (name.scheme().compare(kInternalScheme, Qt::CaseInsensitive) == 0) {
        QString path = name.path();
        if (path.startsWith(u'/')) {
            path.remove(0, 1);
        }
        return EmbeddedPicture(path);
    }
    if (name.scheme().compare(QStringLiteral("res"), Qt::CaseInsensitive) == 0) {
        // A reference that reached the document without the rewrite (a page set directly).
        const QString text = name.toString();
        const QString prefix = kResPrefix + programPath_ + u'/';
        if (!programPath_.isEmpty() && text.startsWith(prefix, Qt::CaseInsensitive)) {
            return EmbeddedPicture(text.mid(prefix.size()));
        }
        return {};
    }
    return QTextBrowser::loadResource(type, name);
}

void HtmlView::OnAnchorClicked(const QUrl& url) {
    if (url.isRelative() && url.path().isEmpty() && url.hasFragment()) {
        scrollToAnchor(url.fragment());
        return;
    }
    if (!linkOpener_ || !linkOpener_(url)) {
        QApplication::beep();
    }
}
