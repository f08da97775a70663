#include "IconCatalogue.h"

#include <QApplication>
#include <QFile>
#include <QMimeType>
#include <QStyle>

namespace {

QIcon GenericFileIcon() {
    // The style's file icon is always there; the theme's generic document icon is only the
    // next best thing when the program runs without QApplication (a bare QGuiApplication).
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
        if (!icon.isNull()) {
            return icon;
        }
    }
    return QIcon::fromTheme(QStringLiteral("text-x-generic"));
}

} // namespace

IconCatalogue::IconCatalogue() {
    icons_.push_back(GenericFileIcon());
    // Files whose kind the name does not reveal share the generic icon.
    indexByMimeName_.insert(QStringLiteral("application/octet-stream"), 0);
}

int IconCatalogue::SmallIconIndex(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Only the name goes to the MIME database, and only its glob patterns are asked: the
    // file is never opened, so a listed file on a slow or vanished volume costs nothing.
    const QMimeType mime = mimeDatabase_.mimeTypeForFile(
        QFile::decodeName(QByteArray::fromStdString(name)), QMimeDatabase::MatchExtension);
    if (!mime.isValid()) {
        return 0;
    }
    const auto known = indexByMimeName_.constFind(mime.name());
    if (known != indexByMimeName_.constEnd()) {
        return known.value();
    }
    QIcon icon = QIcon::fromTheme(mime.iconName());
    if (icon.isNull()) {
        icon = QIcon::fromTheme(mime.genericIconName());
    }
    if (icon.isNull()) {
        icon = icons_.front();
    }
    const int index = static_cast<int>(icons_.size());
    icons_.push_back(icon);
    indexByMimeName_.insert(mime.name(), index);
    return index;
}

QIcon IconCatalogue::IconAt(int index) const {
    if (index < 0 || index >= Count()) {
        return QIcon();
    }
    return icons_[static_cast<std::size_t>(index)];
}

int IconCatalogue::Count() const {
    return static_cast<int>(icons_.size());
}
