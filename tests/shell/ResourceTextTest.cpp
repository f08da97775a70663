#include "platform/shell/ResourceText.h"
#include "report/ReportPage.h"
#include "scan/InterfaceTexts.h"

#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

#include <string>

// The embedded templates and pictures, reached the way the report page reaches them.
class ResourceTextTest : public QObject {
    Q_OBJECT

private slots:
    void loadsTemplatesByNameWithoutRegardToCase();
    void templatesAreWindows1252WithTheirContract_data();
    void templatesAreWindows1252WithTheirContract();
    void missingResourcesGiveEmptyResults();
    void readsBytesUnchangedIncludingZeroBytes();
    void findsEveryPictureAtItsSize_data();
    void findsEveryPictureAtItsSize();
};

void ResourceTextTest::loadsTemplatesByNameWithoutRegardToCase() {
    const std::string english = LoadTextResource("bulkon_en_html");
    QVERIFY(!english.empty());
    QCOMPARE(LoadTextResource("BULKON_EN_HTML"), english);
    QCOMPARE(LoadTextResource("Bulkon_En_Html"), english);
    // Exactly the stored size: nothing added, nothing cut.
    QCOMPARE(qint64(english.size()), QFileInfo(QStringLiteral(":/RCDATA/BULKON_EN_HTML")).size());
    const std::string german = LoadTextResource("bulkon_de_html");
    QVERIFY(!german.empty());
    QVERIFY(german != english);
}

void ResourceTextTest::templatesAreWindows1252WithTheirContract_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("English") << QStringLiteral("bulkon_en_html");
    QTest::newRow("German") << QStringLiteral("bulkon_de_html");
}

void ResourceTextTest::templatesAreWindows1252WithTheirContract() {
    QFETCH(QString, name);
    const std::string page = LoadTextResource(name.toStdString());
    const std::string pattern(HeadlinePattern);
    const std::size_t at = page.find(pattern);
    QVERIFY2(at != std::string::npos, "the headline pattern is missing");
    QCOMPARE(page.find(pattern, at + 1), std::string::npos);
    QCOMPARE(page.compare(at + pattern.size(), 7, "</FONT>"), 0);
    // Line feeds only, and no character-set declaration.
    QCOMPARE(page.find('\r'), std::string::npos);
    QCOMPARE(QByteArray::fromStdString(page).toLower().indexOf("charset"), -1);
    const std::string site(PublisherSiteUrl);
    QVERIFY(page.find(site + "img/bgverlauf.jpg") != std::string::npos);
    QVERIFY(page.find(site + "img/space.gif") != std::string::npos);
    QVERIFY(page.find("\"/GIF/AWARDS\"") != std::string::npos);
    QVERIFY(page.find("TARGET=\"_blank\"") != std::string::npos);
    QVERIFY(page.find("BGCOLOR=\"#4976D3\"") != std::string::npos);
    if (name.contains(QStringLiteral("de"))) {
        // German letters as single Windows-1252 bytes, never as UTF-8 sequences.
        QVERIFY(page.find("gr\xF6\xDF"
                          "ten") != std::string::npos);
        QVERIFY(page.find("\xC3") == std::string::npos);
    }
}

void ResourceTextTest::missingResourcesGiveEmptyResults() {
    QVERIFY(LoadTextResource("bulkon_cn_html").empty());
    QVERIFY(LoadTextResource("").empty());
    QVERIFY(LoadTextResource("../GIF/AWARDS").empty());
    QVERIFY(FindResourceFile(QStringLiteral("GIF"), QStringLiteral("NOPE")).isEmpty());
    QVERIFY(FindResourceFile(QStringLiteral("PNG"), QStringLiteral("AWARDS")).isEmpty());
    QVERIFY(ReadAllBytes(QStringLiteral("/nonexistent/file")).empty());
}

void ResourceTextTest::readsBytesUnchangedIncludingZeroBytes() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("raw.bin"));
    const QByteArray bytes("a\0b\r\n\xE4\xFF\n", 8);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QCOMPARE(ReadAllBytes(path), bytes.toStdString());
}

void ResourceTextTest::findsEveryPictureAtItsSize_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("awards") << "gif"
                            << "awards" << QSize(192, 108);
    QTest::newRow("download") << "GIF"
                              << "Download" << QSize(148, 59);
    QTest::newRow("space") << "GIF"
                           << "space" << QSize(1, 1);
    QTest::newRow("home") << "Gif"
                          << "HOME" << QSize(16, 16);
    QTest::newRow("files") << "GIF"
                           << "files" << QSize(16, 16);
    QTest::newRow("software") << "GIF"
                              << "SOFTWARE" << QSize(16, 16);
    QTest::newRow("bgverlauf") << "JPG"
                               << "BGverlauf" << QSize(1, 110);
    QTest::newRow("bgmenu") << "jpg"
                            << "bgmenu" << QSize(2, 35);
    QTest::newRow("bgmenutop") << "JPG"
                               << "BGMENUTOP" << QSize(2, 35);
}

void ResourceTextTest::findsEveryPictureAtItsSize() {
    QFETCH(QString, type);
    QFETCH(QString, name);
    QFETCH(QSize, size);
    const QString path = FindResourceFile(type, name);
    QVERIFY2(!path.isEmpty(), qPrintable(type + u'/' + name));
    QCOMPARE(path, QStringLiteral(":/") + type.toUpper() + u'/' + name.toUpper());
    // The picture formats are decodable by this Qt (GIF and JPEG plugins present).
    QImageReader reader(path);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);
}

QTEST_MAIN(ResourceTextTest)
#include "ResourceTextTest.moc"
