#include "platform/shell/HtmlView.h"
#include "platform/fs/Paths.h"

#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

#include <cerrno>
#include <string>
#include <system_error>

// The report view: Windows-1252 pages from plain paths, the program's pictures by "res://",
// and links that always leave the view.
class HtmlViewTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    int fileNumber_ = 0;

    // Writes `bytes` to a new file named like a report file and returns its plain path.
    std::string WritePage(const QByteArray& bytes) {
        const QString path = folder_.filePath(QStringLiteral("htm%1.tmp").arg(++fileNumber_));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            qFatal("cannot write the test page");
        }
        return path.toStdString();
    }

    static QStringList ImageNames(const QTextDocument& document) {
        QStringList names;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                if (format.isImageFormat()) {
                    names << format.toImageFormat().name();
                }
            }
        }
        return names;
    }

    // The document keeps a picture it has shown as an image or a pixmap; the view hands out
    // the file's bytes.
    static QImage Picture(const QVariant& resource) {
        switch (resource.typeId()) {
        case QMetaType::QImage:
            return resource.value<QImage>();
        case QMetaType::QPixmap:
            return resource.value<QPixmap>().toImage();
        default:
            return QImage::fromData(resource.toByteArray());
        }
    }

private slots:
    void initTestCase() { QVERIFY(folder_.isValid()); }

    void DecodesPagesAsWindows1252WhateverTheirExtension() {
        HtmlView view;
        // 0x96 and 0x80 are where Windows-1252 differs from Latin-1.
        const std::string path =
            WritePage("<HTML><BODY><P>gr\xF6\xDF"
                      "e \x96 \xE4\xFC\xD6 \x80</P><B>fett</B></BODY></HTML>\r\n");
        view.Navigate(path);
        QCOMPARE(view.toPlainText().trimmed(),
                 QStringLiteral(u"gr\u00F6\u00DFe \u2013 \u00E4\u00FC\u00D6 \u20AC\nfett"));
        QCOMPARE(view.CurrentFile(), path);
        // Shown as a page, not followed as a link: the view has no source of its own.
        QVERIFY(view.source().isEmpty());
    }

    void BlankShowsNothing() {
        HtmlView view;
        view.Navigate(WritePage("<P>something</P>"));
        QVERIFY(!view.toPlainText().isEmpty());
        view.NavigateBlank();
        QVERIFY(view.toPlainText().isEmpty());
        QVERIFY(view.CurrentFile().empty());
        view.Navigate(WritePage("<P>again</P>"));
        view.Navigate("about:blank");
        QVERIFY(view.toPlainText().isEmpty());
        // An empty page file (a missing template gives one) shows an empty page.
        view.Navigate(WritePage("\r\n"));
        QVERIFY(view.toPlainText().trimmed().isEmpty());
    }

    void UnreadablePageRaisesTheSystemsCodeAndKeepsTheView() {
        HtmlView view;
        const std::string shown = WritePage("<P>kept</P>");
        view.Navigate(shown);
        const std::string missing = folder_.filePath(QStringLiteral("gone.tmp")).toStdString();
        try {
            view.Navigate(missing);
            QFAIL("a missing page was shown");
        } catch (const std::system_error& error) {
            QCOMPARE(error.code(), std::make_error_code(std::errc::no_such_file_or_directory));
            QVERIFY(std::string(error.what()).find("gone.tmp") != std::string::npos);
        }
        try {
            view.Navigate(folder_.path().toStdString());
            QFAIL("a folder was shown as a page");
        } catch (const std::system_error& error) {
            QVERIFY(error.code().value() != 0);
        }
        QCOMPARE(view.toPlainText(), QStringLiteral("kept"));
        QCOMPARE(view.CurrentFile(), shown);
    }

    void ResolvesTheProgramsPicturesWithoutRegardToCase_data() {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QSize>("size");
        // Every picture the templates use, spelled as the builder writes it, and the rest.
        QTest::newRow("awards") << "/GIF/AWARDS" << QSize(192, 108);
        QTest::newRow("space") << "/GIF/space" << QSize(1, 1);
        QTest::newRow("band") << "/JPG/BGverlauf" << QSize(1, 110);
        QTest::newRow("download") << "/gif/download" << QSize(148, 59);
        QTest::newRow("home") << "/GIF/home" << QSize(16, 16);
        QTest::newRow("files") << "/GIF/Files" << QSize(16, 16);
        QTest::newRow("software") << "/GIF/software" << QSize(16, 16);
        QTest::newRow("menu") << "/JPG/BGmenu" << QSize(2, 35);
        QTest::newRow("menu top") << "/JPG/bgmenutop" << QSize(2, 35);
    }

    void ResolvesTheProgramsPicturesWithoutRegardToCase() {
        QFETCH(QString, reference);
        QFETCH(QSize, size);
        HtmlView view;
        QCOMPARE(view.ProgramPathText(), QString::fromStdString(ProgramPath()));
        const QUrl url(QStringLiteral("res://") + view.ProgramPathText() + reference);
        QCOMPARE(Picture(view.loadResource(QTextDocument::ImageResource, url)).size(), size);

        // The same reference inside a page that the view is pointed at.
        view.Navigate(WritePage("<P><IMG SRC=\"res://" + view.ProgramPathText().toLocal8Bit() +
                                reference.toLatin1() + "\"></P>"));
        const QStringList names = ImageNames(*view.document());
        QCOMPARE(names.size(), 1);
        const QVariant resource =
            view.document()->resource(QTextDocument::ImageResource, QUrl(names.first()));
        QCOMPARE(Picture(resource).size(), size);
    }

    void RefusesPicturesOfOtherProgramsAndUnknownNames() {
        HtmlView view;
        const QString res = QStringLiteral("res://") + view.ProgramPathText();
        const auto load = [&](const QString& url) {
            return view.loadResource(QTextDocument::ImageResource, QUrl(url));
        };
        QVERIFY(!load(res + QStringLiteral("/GIF/NOPE")).isValid());
        QVERIFY(!load(res + QStringLiteral("/PNG/AWARDS")).isValid());
        QVERIFY(!load(res + QStringLiteral("/GIF/AWARDS/extra")).isValid());
        QVERIFY(!load(QStringLiteral("res:///some/other/program/GIF/AWARDS")).isValid());
    }

    void OddProgramPathsStillReachThePictures() {
        HtmlView view;
        // '#', '%' and blanks that a URL parser takes apart, markup escaped in the attribute,
        // and a German letter as its Windows-1252 byte.
        view.SetProgramPath("/opt/my #1 100%/R&D/b\xC3\xBClkon");
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.Navigate(
            WritePage("<TABLE WIDTH=\"100%\" CELLSPACING=0 CELLPADDING=0 BORDER=0>"
                      "<TR><TD STYLE=\"padding:30px;\" BGCOLOR=\"#FF0000\" BACKGROUND=\"res:///opt/"
                      "my #1 100%/R&amp;D/b\xFClkon/JPG/BGverlauf\">&nbsp;</TD></TR>"
                      "</TABLE><IMG SRC=\"res:///opt/my #1 100%/R&amp;D/b\xFClkon/GIF/"
                      "AWARDS\">"));
        const QStringList names = ImageNames(*view.document());
        QCOMPARE(names.size(), 1);
        QCOMPARE(
            Picture(view.document()->resource(QTextDocument::ImageResource, QUrl(names.first())))
                .size(),
            QSize(192, 108));
        // The band's cell shows the blue picture over its red fallback colour.
        const QImage shot = view.viewport()->grab().toImage();
        const QColor band = shot.pixelColor(shot.width() / 2, 20);
        QVERIFY2(band.blue() > 150 && band.red() < 150, qPrintable(band.name()));
    }

    void FollowedLinksGoToTheOpenerNeverIntoTheView() {
        HtmlView view;
        QList<QUrl> opened;
        view.SetLinkOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        view.resize(500, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const std::string page = WritePage("<HEAD><BASE TARGET=\"_blank\"></HEAD><BODY>"
                                           "<P><A HREF=\"https://www.vantrel.example/de/\">"
                                           "Deutsch</A></P><P><A HREF=\"#end\">down</A></P>"
                                           "<P><A NAME=\"end\">end</A></P></BODY>");
        view.Navigate(page);
        const QString before = view.toHtml();

        const auto clickOn = [&](const QString& text) {
            QTextCursor cursor = view.document()->find(text);
            QVERIFY(!cursor.isNull());
            cursor.setPosition(cursor.selectionStart() + 1);
            const QPoint at = view.cursorRect(cursor).center();
            QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, at);
        };
        clickOn(QStringLiteral("Deutsch"));
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first(), QUrl(QStringLiteral("https://www.vantrel.example/de/")));
        QCOMPARE(view.toHtml(), before);
        QCOMPARE(view.CurrentFile(), page);
        QVERIFY(view.source().isEmpty());

        // A link to a place in the page itself only scrolls there.
        clickOn(QStringLiteral("down"));
        QCOMPARE(opened.size(), 1);
        QCOMPARE(view.toHtml(), before);
    }
};

QTEST_MAIN(HtmlViewTest)
#include "HtmlViewTest.moc"
