#pragma once

#include "scan/IconLookup.h"

#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QString>
#include <vector>

// The program's catalogue of small file icons: one index per kind of file (MIME type),
// chosen from the file name alone (the file is never opened), with the icon from the
// desktop theme and a generic fallback. Index 0 is the generic file icon, also used for
// files of no known kind. Indices stay valid for the catalogue's life. Needs a
// QGuiApplication (a QApplication for the style's generic icon).
//
// The walk asks for every file it lists, thousands of times a scan, and a MIME database
// query costs several microseconds. Names whose kind follows from their extension alone
// (everything from the first dot on, exactly as written) are therefore answered from a
// cache by extension; so are repeated names without a dot. A name that one of the database's
// whole-name patterns may match ("Makefile.am", "CMakeLists.txt", "README.md") is always
// asked afresh, so the answer is the same as without the cache.
class IconCatalogue : public IconLookup {
public:
    IconCatalogue();

    // The index for the file at `path` (bytes of its name); never fails, so never -1.
    int SmallIconIndex(const std::string& path) override;

    // The icon at `index`; a null icon for -1 or an index out of range.
    QIcon IconAt(int index) const;
    // The kind (MIME type name) of `index`; empty for -1 or an index out of range.
    QString KindAt(int index) const;
    int Count() const;

private:
    int IndexForKind(const QMimeType& mime);
    // The cache key of a file name, or an empty string when the name must be asked afresh.
    QString CacheKey(const QString& name);
    void ReadPatternShapes();

    QMimeDatabase mimeDatabase_;
    std::vector<QIcon> icons_;
    std::vector<QString> kinds_;
    // MIME type name -> index, so that a kind's icon is looked up in the theme only once.
    QHash<QString, int> indexByMimeName_;
    // Extension (from the first dot) or whole dotless name -> index.
    QHash<QString, int> indexByKey_;
    // What the database's file-name patterns allow, read at the first dotted name.
    bool patternShapesRead_ = false;
    // False when the patterns could not all be read: then only dotless names are cached.
    bool extensionKeysExact_ = false;
    // The longest text matched by a pattern like "*~" or "*,v" that does not start at a
    // dot; a shorter extension does not decide such a pattern.
    qsizetype longestLooseTail_ = 0;
    // Every pattern that is anchored at the name's start, as one case-blind expression.
    QRegularExpression anchoredPatterns_;
};
