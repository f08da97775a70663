#include "platform/shell/IconCatalogue.h"

#include <QFile>
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

    void HandlesNamesThatAreNotUtf8() {
        IconCatalogue catalogue;
        const int png = catalogue.SmallIconIndex("/tmp/plain.png");
        QCOMPARE(catalogue.SmallIconIndex("/tmp/\xff\xfe caf\xe9.png"), png);
        QCOMPARE(catalogue.SmallIconIndex("/tmp/\x80\x81"), 0);
    }
};

QTEST_MAIN(IconCatalogueTest)
#include "IconCatalogueTest.moc"
