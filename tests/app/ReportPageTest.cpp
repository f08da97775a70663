// The report page under the list as the window shows it: one new file per page in the
// temporary folder, the summary after a completed scan, errors shown while the program
// goes on, and the templates' pictures found among the program's resources.
#include "AppTestSupport.h"
#include "platform/shell/HtmlView.h"
#include "scan/StopRequested.h"

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <cstring>
#include <memory>

namespace {
constexpr int TreeFiles = 150;

QStringList ReportFiles(const QTemporaryDir& folder) {
    return QDir(folder.path()).entryList({QStringLiteral("htm*.tmp")}, QDir::Files);
}

QByteArray FileBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every picture the shown page refers to: images in the text and backgrounds of table
// cells, with what the document resolved for each.
struct PageImage {
    QString Name;
    QImage Picture;
};

QImage AsImage(const QVariant& resource) {
    if (resource.typeId() == QMetaType::QImage) {
        return resource.value<QImage>();
    }
    if (resource.typeId() == QMetaType::QPixmap) {
        return resource.value<QPixmap>().toImage();
    }
    return QImage::fromData(resource.toByteArray());
}

void CollectImages(QTextDocument& document, QTextFrame* frame, QList<PageImage>& images) {
    const auto add = [&](const QString& name) {
        images.append({name, AsImage(document.resource(QTextDocument::ImageResource, QUrl(name)))});
    };
    if (auto* table = qobject_cast<QTextTable*>(frame)) {
        for (int row = 0; row < table->rows(); ++row) {
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                const QString background =
                    cell.format().property(QTextFormat::BackgroundImageUrl).toString();
                if (!background.isEmpty()) {
                    add(background);
                }
            }
        }
    }
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame* child = it.currentFrame()) {
            CollectImages(document, child, images);
            continue;
        }
        for (auto piece = it.currentBlock().begin(); !piece.atEnd(); ++piece) {
            const QTextCharFormat format = piece.fragment().charFormat();
            if (format.isImageFormat()) {
                add(format.toImageFormat().name());
            }
        }
    }
}
} // namespace

class ReportPageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void EveryPageIsANewFileAndOnlyCompletedScansGetTheSummary();
    void UnwritableTempFolderIsShownAndTheProgramGoesOn();
    void TemplatesPicturesResolve_data();
    void TemplatesPicturesResolve();

private:
    TestTree tree_;
    std::unique_ptr<QTemporaryDir> temp_;
    std::unique_ptr<ScopedEnvironment> tmpdir_;
};

void ReportPageTest::initTestCase() {
    QVERIFY(tree_.IsValid());
    tree_.AddFiles(TreeFiles, 30);
}

void ReportPageTest::init() {
    StopRequested = false;
    tmpdir_.reset();
    temp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(temp_->isValid());
    tmpdir_ = std::make_unique<ScopedEnvironment>("TMPDIR", temp_->path().toUtf8().constData());
}

void ReportPageTest::EveryPageIsANewFileAndOnlyCompletedScansGetTheSummary() {
    ScopedEnvironment english("LC_ALL", "en_US.UTF-8");
    FakeShellServices shell;
    TForm1 form(shell);
    QStringList errors;
    form.SetMessageBoxHook([&](const QString& message) { errors << message; });
    form.SetStartupRoot(tree_.Root());
    form.ScanHost().SetProcessEventsIntervalMs(0);
    QVERIFY(form.WebBrowser->toPlainText().isEmpty());

    QVERIFY(ShowAndWaitForStartupScan(form));
    QCOMPARE(ReportFiles(*temp_).size(), 2);
    const QString summary = QStringLiteral("The 100 largest files on %1 occupy")
                                .arg(QString::fromStdString(tree_.Root()));
    QVERIFY2(form.WebBrowser->toPlainText().contains(summary),
             qPrintable(form.WebBrowser->toPlainText()));
    const std::string shown = form.WebBrowser->CurrentFile();
    QCOMPARE(QFileInfo(QString::fromStdString(shown)).dir(), QDir(temp_->path()));
    QVERIFY(FileBytes(shown).endsWith("</HTML>\n\r\n"));

    form.StartScan(tree_.Root());
    form.StartScan(tree_.Root());
    QCOMPARE(ReportFiles(*temp_).size(), 6);

    // Stopped in the middle: only the page of the start, with the template's own headline.
    form.ScanHost().SetProcessingHook([&](std::int64_t count) {
        if (count == 20) {
            form.FormKeyDown(Qt::Key_Escape);
        }
    });
    form.StartScan(tree_.Root());
    QVERIFY(form.Engine().State().FileCount < std::uint32_t(TreeFiles));
    QCOMPARE(ReportFiles(*temp_).size(), 7);
    QVERIFY(!form.WebBrowser->toPlainText().contains(summary));
    QVERIFY(form.WebBrowser->toPlainText().contains(QStringLiteral("Vantrel")));
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    QVERIFY(form.isVisible());
}

void ReportPageTest::UnwritableTempFolderIsShownAndTheProgramGoesOn() {
    FakeShellServices shell;
    TForm1 form(shell);
    QStringList errors;
    form.SetMessageBoxHook([&](const QString& message) { errors << message; });
    form.ScanHost().SetProcessEventsIntervalMs(0);
    {
        ScopedEnvironment missing("TMPDIR", "/nonexistent/bulkon-reports");
        form.StartScan(tree_.Root());
    }
    // The page of the start failed: the message names the folder and the system's reason,
    // the view stays blank and the scan did not run.
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(QStringLiteral("/nonexistent/bulkon-reports")),
             qPrintable(errors[0]));
    QVERIFY2(errors[0].contains(QString::fromLocal8Bit(std::strerror(ENOENT))),
             qPrintable(errors[0]));
    QVERIFY(form.WebBrowser->CurrentFile().empty());
    QVERIFY(form.WebBrowser->toPlainText().isEmpty());
    QCOMPARE(form.Engine().List().Count(), 0);
    QVERIFY(!form.ScanRunning());

    // With the folder back, the next scan runs and shows its pages.
    form.StartScan(tree_.Root());
    QCOMPARE(errors.size(), 1);
    QCOMPARE(form.Engine().State().FileCount, std::uint32_t(TreeFiles));
    QCOMPARE(ReportFiles(*temp_).size(), 2);
    QVERIFY(!form.WebBrowser->CurrentFile().empty());
}

void ReportPageTest::TemplatesPicturesResolve_data() {
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("English") << QByteArray("en_US.UTF-8")
                             << QStringLiteral("The 100 largest files on");
    QTest::newRow("German") << QByteArray("de_DE.UTF-8")
                            << QStringLiteral(u"Die 100 gr\u00F6\u00DFten Dateien auf");
}

void ReportPageTest::TemplatesPicturesResolve() {
    QFETCH(QByteArray, language);
    QFETCH(QString, sentence);
    ScopedEnvironment locale("LC_ALL", language.constData());
    FakeShellServices shell;
    TForm1 form(shell);
    form.ScanHost().SetProcessEventsIntervalMs(0);
    form.StartScan(tree_.Root());
    HtmlView& view = *form.WebBrowser;
    QVERIFY2(view.toPlainText().contains(sentence), qPrintable(view.toPlainText()));
    QVERIFY(!view.openLinks());

    QList<PageImage> images;
    CollectImages(*view.document(), view.document()->rootFrame(), images);
    QMap<QString, QSize> sizes;
    for (const PageImage& image : images) {
        QVERIFY2(!image.Picture.isNull(), qPrintable(image.Name));
        sizes[image.Name.section(u'/', -2).toUpper()] = image.Picture.size();
    }
    QCOMPARE(sizes.value(QStringLiteral("GIF/AWARDS")), QSize(192, 108));
    QCOMPARE(sizes.value(QStringLiteral("GIF/SPACE")), QSize(1, 1));
    QCOMPARE(sizes.value(QStringLiteral("JPG/BGVERLAUF")), QSize(1, 110));
    QCOMPARE(sizes.size(), 3);
}

QTEST_MAIN(ReportPageTest)
#include "ReportPageTest.moc"
