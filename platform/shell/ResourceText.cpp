#include "ResourceText.h"

#include <QDir>
#include <QFile>

namespace {

// The entry of `folder` named `name` without regard to case; an exact match wins, so that
// two entries differing only in case still reach each other.
QString FindEntry(const QString& folder, const QString& name, QDir::Filters kind) {
    const QStringList entries = QDir(folder).entryList(kind | QDir::Hidden);
    if (entries.contains(name)) {
        return name;
    }
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            return entry;
        }
    }
    return {};
}

} // namespace

QString FindResourceFile(const QString& type, const QString& name) {
    if (type.isEmpty() || name.isEmpty() || type.contains(u'/') || name.contains(u'/')) {
        return {};
    }
    const QString folder = FindEntry(QStringLiteral(":/"), type, QDir::Dirs | QDir::NoDotAndDotDot);
    if (folder.isEmpty()) {
        return {};
    }
    const QString file = FindEntry(QStringLiteral(":/") + folder, name, QDir::Files);
    if (file.isEmpty()) {
        return {};
    }
    return QStringLiteral(":/") + folder + u'/' + file;
}

std::string ReadAllBytes(const QString& path) {
    // QFile rather than QResource::data(): the resource compiler may have compressed the
    // data, and QFile hands it back as stored.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string LoadTextResource(const std::string& name) {
    const QString path = FindResourceFile(QStringLiteral("RCDATA"), QString::fromUtf8(name));
    if (path.isEmpty()) {
        return {};
    }
    return ReadAllBytes(path);
}
