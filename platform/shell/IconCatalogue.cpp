#include "IconCatalogue.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMimeType>
#include <QStandardPaths>
#include <QStyle>
#include <algorithm>

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

const QString GenericKind = QStringLiteral("application/octet-stream");

// Beyond this many keys the cache starts afresh: a tree of odd names must not make it grow
// without end.
constexpr qsizetype MaxCachedKeys = 4096;

// The length of the text matched by a pattern without '*': a [...] class is one character.
qsizetype FixedMatchLength(const QString& pattern) {
    qsizetype length = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == QLatin1Char('[')) {
            const qsizetype close = pattern.indexOf(QLatin1Char(']'), i + 1);
            if (close > i) {
                i = close;
            }
        }
        ++length;
    }
    return length;
}

} // namespace

IconCatalogue::IconCatalogue() {
    icons_.push_back(GenericFileIcon());
    kinds_.push_back(GenericKind);
    // Files whose kind the name does not reveal share the generic icon.
    indexByMimeName_.insert(GenericKind, 0);
}

int IconCatalogue::SmallIconIndex(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const QString decoded = QFile::decodeName(QByteArray::fromStdString(name));
    const QString key = CacheKey(decoded);
    if (!key.isEmpty()) {
        const auto cached = indexByKey_.constFind(key);
        if (cached != indexByKey_.constEnd()) {
            return cached.value();
        }
    }
    // Only the name goes to the MIME database, and only its glob patterns are asked: the
    // file is never opened, so a listed file on a slow or vanished volume costs nothing.
    const int index =
        IndexForKind(mimeDatabase_.mimeTypeForFile(decoded, QMimeDatabase::MatchExtension));
    if (!key.isEmpty()) {
        if (indexByKey_.size() >= MaxCachedKeys) {
            indexByKey_.clear();
        }
        indexByKey_.insert(key, index);
    }
    return index;
}

// Why an extension may stand for the whole name: a pattern that starts with "*." can only
// match from a dot on, which lies at or after the name's first dot, so whether it matches is
// decided by the extension alone. Other patterns that start with '*' ("*~", "*,v") match a
// fixed number of characters at the end, which the extension decides when it is at least
// that long. The rest are anchored at the name's start ("Makefile.*", "CMakeLists.txt");
// a name any of them may match is not cached by its extension. The database picks its
// answer from the set of matching patterns only, so names with the same extension that
// pass these tests get the same answer.
QString IconCatalogue::CacheKey(const QString& name) {
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot < 0) {
        return name;
    }
    if (!patternShapesRead_) {
        ReadPatternShapes();
    }
    if (!extensionKeysExact_) {
        return QString();
    }
    QString extension = name.mid(dot);
    if (extension.size() < longestLooseTail_ || anchoredPatterns_.match(name).hasMatch()) {
        return QString();
    }
    return extension;
}

// Reads the patterns from the shared MIME database's globs2 files, in the folders Qt's own
// database reads. Where one is missing, or Qt would fall back to the database built into
// it, the patterns are unknown and only dotless names are cached.
void IconCatalogue::ReadPatternShapes() {
    patternShapesRead_ = true;
    extensionKeysExact_ = false;
    const QStringList folders =
        QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("mime"),
                                  QStandardPaths::LocateDirectory);
    bool sharedDatabase = false;
    QStringList anchored;
    qsizetype longestLooseTail = 0;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        sharedDatabase =
            sharedDatabase || dir.exists(QStringLiteral("packages/freedesktop.org.xml"));
        const bool hasTypes =
            dir.exists(QStringLiteral("mime.cache")) || dir.exists(QStringLiteral("packages"));
        if (!hasTypes) {
            continue;
        }
        QFile globs(dir.filePath(QStringLiteral("globs2")));
        if (!dir.exists(QStringLiteral("mime.cache")) || !globs.open(QIODevice::ReadOnly)) {
            return;
        }
        while (!globs.atEnd()) {
            const QByteArray line = globs.readLine().trimmed();
            if (line.isEmpty() || line.startsWith('#')) {
                continue;
            }
            // weight:type:pattern, optionally :flags.
            const QList<QByteArray> fields = line.split(':');
            if (fields.size() < 3 || fields.size() > 4) {
                return;
            }
            const QString pattern = QString::fromUtf8(fields[2]);
            if (pattern.startsWith(QLatin1String("*."))) {
                continue;
            }
            const QString tail = pattern.mid(1);
            if (pattern.startsWith(QLatin1Char('*')) && !tail.contains(QLatin1Char('*'))) {
                longestLooseTail = std::max(longestLooseTail, FixedMatchLength(tail));
            } else {
                anchored.append(QRegularExpression::wildcardToRegularExpression(pattern));
            }
        }
    }
    if (!sharedDatabase) {
        return;
    }
    anchoredPatterns_ = QRegularExpression(anchored.join(QLatin1Char('|')),
                                           QRegularExpression::CaseInsensitiveOption);
    if (!anchored.isEmpty() && !anchoredPatterns_.isValid()) {
        return;
    }
    if (anchored.isEmpty()) {
        // An empty expression would match every name.
        anchoredPatterns_ = QRegularExpression(QStringLiteral("(?!)"));
    }
    anchoredPatterns_.optimize();
    longestLooseTail_ = longestLooseTail;
    extensionKeysExact_ = true;
}

int IconCatalogue::IndexForKind(const QMimeType& mime) {
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
    kinds_.push_back(mime.name());
    indexByMimeName_.insert(mime.name(), index);
    return index;
}

QIcon IconCatalogue::IconAt(int index) const {
    if (index < 0 || index >= Count()) {
        return QIcon();
    }
    return icons_[static_cast<std::size_t>(index)];
}

QString IconCatalogue::KindAt(int index) const {
    if (index < 0 || index >= Count()) {
        return QString();
    }
    return kinds_[static_cast<std::size_t>(index)];
}

int IconCatalogue::Count() const {
    return static_cast<int>(icons_.size());
}
