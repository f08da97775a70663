#include "platform/shell/IconCatalogue.h"

#include <QFile>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QTest>

// The list's icon indices: one per kind of file, from the name alone, stable for the
// catalogue's life.
class IconCatalogueTest : public QObject {
    Q_OBJECT

private slots:
    void StartsWithTheGenericIconAtZero() {
        IconCatalogue catalogue;
        QCOMPARE(catalogue.Count(), 1);
        QVERIFY(!catalogue.IconAt(0).isNull());
        QVERIFY(catalogue.IconAt(-1).isNull());
        QVERIFY(catalogue.IconAt(1).isNull());
    }

    void GivesOneIndexPerKind() {
        IconCatalogue catalogue;
        const int png = catalogue.SmallIconIndex("/home/u/holiday.png");
        const int otherPng = catalogue.SmallIconIndex("/data/pictures/SCAN 01.png");
        const int pdf = catalogue.SmallIconIndex("/home/u/letter.pdf");
        const int iso = catalogue.SmallIconIndex("/var/images/debian.iso");

        QCOMPARE(otherPng, png);
        QVERIFY(png > 0);
        QVERIFY(pdf > 0);
        QVERIFY(iso > 0);
        QVERIFY(png != pdf);
        QVERIFY(png != iso);
        QVERIFY(pdf != iso);
        QCOMPARE(catalogue.Count(), 4);
        for (const int index : {png, pdf, iso}) {
            QVERIFY(!catalogue.IconAt(index).isNull());
        }
    }

    void KeepsIndicesStableAsKindsAreAdded() {
        IconCatalogue catalogue;
        const int first = catalogue.SmallIconIndex("/a/movie.mp4");
        const QStringList others = {"b.txt", "c.zip", "d.html", "e.ogg", "f.jpg", "g.tar.gz"};
        for (const QString& name : others) {
            catalogue.SmallIconIndex("/x/" + name.toStdString());
        }
        const int count = catalogue.Count();
        QCOMPARE(catalogue.SmallIconIndex("/elsewhere/another movie.mp4"), first);
        // Asking again for known kinds adds nothing.
        for (const QString& name : others) {
            catalogue.SmallIconIndex("/y/" + name.toStdString());
        }
        QCOMPARE(catalogue.Count(), count);
    }

    void FilesOfNoKnownKindShareTheGenericIcon() {
        IconCatalogue catalogue;
        QCOMPARE(catalogue.SmallIconIndex("/tmp/no-extension-at-all"), 0);
        QCOMPARE(catalogue.SmallIconIndex("/tmp/archive.qqzzxq"), 0);
        QCOMPARE(catalogue.SmallIconIndex(""), 0);
        QCOMPARE(catalogue.SmallIconIndex("/"), 0);
        // The folder's dots say nothing about the file.
        QCOMPARE(catalogue.SmallIconIndex("/media/disc.iso/plainfile"), 0);
        QCOMPARE(catalogue.Count(), 1);
    }

    void ChoosesByNameWithoutOpeningTheFile() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        // A file named like a picture that holds a PDF: reading it would say PDF.
        const QString disguised = folder.filePath("picture.png");
        QFile file(disguised);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<< /Type /Catalog >>\nendobj\n");
        file.close();

        IconCatalogue catalogue;
        const int pdf = catalogue.SmallIconIndex("/nowhere/real.pdf");
        const int png = catalogue.SmallIconIndex(QFile::encodeName(disguised).toStdString());
        QVERIFY(png != pdf);
        // A path that does not exist gets its index from the name just the same.
        QCOMPARE(catalogue.SmallIconIndex("/no/such/folder/picture.png"), png);
    }

    void NamesEachIndexByItsKind() {
        IconCatalogue catalogue;
        QCOMPARE(catalogue.KindAt(0), QStringLiteral("application/octet-stream"));
        const int pdf = catalogue.SmallIconIndex("/a/letter.pdf");
        QCOMPARE(catalogue.KindAt(pdf), QStringLiteral("application/pdf"));
        QVERIFY(catalogue.KindAt(-1).isEmpty());
        QVERIFY(catalogue.KindAt(catalogue.Count()).isEmpty());
    }

    // Answers given from the cache by extension must be the database's own answers, in
    // whichever order the names come: names that share an extension but not a kind
    // ("notes.txt", "CMakeLists.txt"), longer and shorter extensions ("a.tar.gz", "b.gz"),
    // case-sensitive patterns ("x.c", "y.C"), names the database knows whole ("Makefile",
    // "Makefile.am", "README.md") and patterns that do not start at a dot ("file.txt~").
    void AnswersFromItsCacheAsTheDatabaseDoes() {
        const QStringList names = {"notes.txt",
                                   "CMakeLists.txt",
                                   "cmakelists.txt",
                                   "b.gz",
                                   "a.tar.gz",
                                   "c.GZ",
                                   "d.TAR.GZ",
                                   "photo.jpg",
                                   "PHOTO.JPG",
                                   "Photo.Jpg",
                                   "Makefile",
                                   "makefile",
                                   "Makefile.am",
                                   "Makefile.in",
                                   "notes.md",
                                   "README.md",
                                   "readme.txt",
                                   "x.c",
                                   "y.C",
                                   "libz.so.1",
                                   "libz.so.1.2",
                                   "libz.so",
                                   "file.txt~",
                                   "notes~",
                                   "old.c,v",
                                   "001.vdr",
                                   "abc.vdr",
                                   "core",
                                   "core.txt",
                                   "page.1",
                                   "x.anim5",
                                   ".bashrc",
                                   ".hidden.png",
                                   "a.b.c.unknownq",
                                   "noextension",
                                   "Report_41.ISO",
                                   "report.iso",
                                   "movie.MKV",
                                   "pom.xml",
                                   "data.xml"};
        QMimeDatabase database;
        auto expectedKind = [&](const QString& name) {
            return database.mimeTypeForFile(name, QMimeDatabase::MatchExtension).name();
        };
        // Forward and backward, each name twice: whichever of two names comes first, the
        // other must not inherit its answer.
        for (const bool backward : {false, true}) {
            IconCatalogue catalogue;
            for (int pass = 0; pass < 2; ++pass) {
                for (qsizetype i = 0; i < names.size(); ++i) {
                    const QString& name = names[backward ? names.size() - 1 - i : i];
                    const int index = catalogue.SmallIconIndex("/data/" + name.toStdString());
                    QVERIFY2(catalogue.KindAt(index) == expectedKind(name),
                             qPrintable(name + ": " + catalogue.KindAt(index) + " instead of " +
                                        expectedKind(name)));
                }
            }
        }
    }

    void HandlesNamesThatAreNotUtf8() {
        IconCatalogue catalogue;
        const int png = catalogue.SmallIconIndex("/tmp/plain.png");
        QCOMPARE(catalogue.SmallIconIndex("/tmp/\xff\xfe caf\xe9.png"), png);
        QCOMPARE(catalogue.SmallIconIndex("/tmp/\x80\x81"), 0);
    }
};

QTEST_MAIN(IconCatalogueTest)
#include "IconCatalogueTest.moc"
