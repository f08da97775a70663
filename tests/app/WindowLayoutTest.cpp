// The window's layout, start-up geometry, texts in both languages and its small controls.
#include "AppTestSupport.h"
#include "app/BusyAnimation.h"
#include "app/ButtonGlyph.h"
#include "app/PanelStatusBar.h"
#include "app/WindowGeometry.h"
#include "platform/fs/LocalTime.h"
#include "platform/shell/SystemLocaleFormat.h"
#include "scan/InterfaceTexts.h"
#include "scan/TextFormat.h"

#include "platform/shell/HtmlView.h"
#include <QAction>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

class WindowLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void ListHeightIsHalfRoundedToEven();
    void FolderColumnTakesTheRest();
    void FormCreateSizesAndCentresOnThePrimaryScreen();
    void ControlsAreStackedAndNamed();
    void ListIsAReportViewThatCannotBeEditedOrSorted();
    void ResizeMovesButtonAnimationAndFolderColumn();
    void StatusBarsHaveTheirPanels();
    void EnglishTextsAtCreation();
    void GermanUserGetsGermanTexts();
    void LocaleChangeRereadsTheFormats();
    void GlyphBackgroundBecomesTransparent();
    void BusyAnimationLoopsAndRewinds();

private:
    std::unique_ptr<ScopedEnvironment> english_;
};

void WindowLayoutTest::initTestCase() {
    english_ = std::make_unique<ScopedEnvironment>("LC_ALL", "en_US.UTF-8");
}

void WindowLayoutTest::ListHeightIsHalfRoundedToEven() {
    QCOMPARE(InitialListHeight(568), 284);
    QCOMPARE(InitialListHeight(475), 238); // 237.5 goes to the even 238
    QCOMPARE(InitialListHeight(473), 236); // 236.5 goes to the even 236
    QCOMPARE(InitialListHeight(1), 0);
    QCOMPARE(InitialListHeight(0), 0);
}

void WindowLayoutTest::FolderColumnTakesTheRest() {
    QCOMPARE(FolderColumnWidth(824, 122, 122, 122, 16, 20), 824 - 366 - 32);
    // A user who widened the other columns leaves the folder column less room.
    QCOMPARE(FolderColumnWidth(824, 300, 122, 122, 16, 20), 824 - 544 - 32);
    // Never narrower than the header allows, whatever the window's width.
    QCOMPARE(FolderColumnWidth(300, 122, 122, 122, 16, 20), 20);
}

void WindowLayoutTest::FormCreateSizesAndCentresOnThePrimaryScreen() {
    FakeShellServices shell;
    RecordingForm form(shell);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const QRect expected =
        InitialWindowGeometry(screen, QGuiApplication::primaryScreen()->availableGeometry());
    QCOMPARE(form.size(), expected.size());
    QCOMPARE(form.pos(), expected.topLeft());

    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // The design's size and place are the whole window's, frame included.
    QTRY_COMPARE(form.frameGeometry(), expected);
    // The list starts at half the client height, the report view takes the rest.
    QTRY_COMPARE(form.ListView->height(), InitialListHeight(form.height()));
    QVERIFY(form.WebBrowser->height() > 0);
    QCOMPARE(form.TopPanel->height(), 40);
}

void WindowLayoutTest::ControlsAreStackedAndNamed() {
    FakeShellServices shell;
    RecordingForm form(shell);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QCOMPARE(form.objectName(), QStringLiteral("Form1"));
    for (const char* name :
         {"TopPanel", "AppImage", "TopLabel", "BrowseSpeedButton", "Animate", "ListView",
          "Splitter2", "WebBrowser", "StatusBar2", "StatusBar", "PopupMenu"}) {
        QVERIFY2(form.findChild<QWidget*>(QString::fromLatin1(name)) != nullptr, name);
    }
    QCOMPARE(form.findChild<QAction*>(QStringLiteral("ShowInExplorerPopupmenu")),
             form.ShowInExplorerPopupmenu);
    QCOMPARE(form.findChild<QAction*>(QStringLiteral("DeletePopupmenu")), form.DeletePopupmenu);
    QCOMPARE(form.PopupMenu->actions().size(), 2);
    QCOMPARE(form.PopupMenu->actions().at(0), form.ShowInExplorerPopupmenu);

    // Top bar, list, splitter handle, report view, totals bar, status line.
    auto top = [&](QWidget* widget) { return widget->mapTo(&form, QPoint(0, 0)).y(); };
    QCOMPARE(top(form.TopPanel), 0);
    QCOMPARE(top(form.ListView), 40);
    QCOMPARE(top(form.WebBrowser), 40 + form.ListView->height() + 4);
    QCOMPARE(top(form.StatusBar2), top(form.WebBrowser) + form.WebBrowser->height());
    QCOMPARE(top(form.StatusBar), top(form.StatusBar2) + 21);
    QCOMPARE(top(form.StatusBar) + 21, form.height());
    QCOMPARE(form.StatusBar2->width(), form.width());

    QCOMPARE(form.AppImage->geometry(), QRect(7, 7, 32, 32));
    QCOMPARE(form.AppImage->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(form.TopLabel->pos(), QPoint(52, 7));
    QCOMPARE(form.BrowseSpeedButton->text(), QStringLiteral(" "));
    QVERIFY(form.BrowseSpeedButton->icon().isNull());
    QVERIFY(form.Animate->isHidden());
    QVERIFY(!form.ScanRunning());
    QVERIFY(form.WebBrowser->toPlainText().isEmpty());
}

void WindowLayoutTest::ListIsAReportViewThatCannotBeEditedOrSorted() {
    FakeShellServices shell;
    RecordingForm form(shell);
    QTreeView* list = form.ListView;
    QCOMPARE(list->model()->columnCount(), 4);
    QVERIFY(!list->rootIsDecorated());
    QVERIFY(list->uniformRowHeights());
    QVERIFY(!list->header()->sectionsClickable());
    QVERIFY(!list->isSortingEnabled());
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(list->iconSize(), QSize(16, 16));
    QCOMPARE(list->contextMenuPolicy(), Qt::CustomContextMenu);
    QCOMPARE(list->columnWidth(0), 122);
    // The size and date columns keep their design width, or more when the font needs it to
    // show a 100 GB size and a date with time in full.
    const QFontMetrics metrics(list->font());
    QVERIFY(list->columnWidth(2) >= 122);
    QVERIFY(list->columnWidth(3) >= 122);
    QVERIFY(list->columnWidth(2) >
            metrics.horizontalAdvance(QString::fromUtf8("99999\u00B4999\u00B4999 Byte")));
    const std::string longDate =
        DateColumnText(LocalDateTime{2026, 12, 28, 22, 58, 58}, ReadSystemLocaleFormat());
    QVERIFY(list->columnWidth(3) > metrics.horizontalAdvance(QString::fromStdString(longDate)));
    const QPalette palette = list->palette();
    QCOMPARE(palette.color(QPalette::Inactive, QPalette::Highlight),
             palette.color(QPalette::Active, QPalette::Highlight));

    const auto alignment = [&](int section) {
        return list->model()
                   ->headerData(section, Qt::Horizontal, Qt::TextAlignmentRole)
                   .value<Qt::Alignment>() &
               Qt::AlignHorizontal_Mask;
    };
    QCOMPARE(alignment(0), Qt::Alignment(Qt::AlignLeft));
    QCOMPARE(alignment(1), Qt::Alignment(Qt::AlignLeft));
    QCOMPARE(alignment(2), Qt::Alignment(Qt::AlignRight));
    QCOMPARE(alignment(3), Qt::Alignment(Qt::AlignRight));
}

void WindowLayoutTest::ResizeMovesButtonAnimationAndFolderColumn() {
    FakeShellServices shell;
    RecordingForm form(shell);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const int scrollBar =
        form.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, form.ListView);
    auto check = [&] {
        const int width = form.width();
        QCOMPARE(form.ListView->columnWidth(1), width - form.ListView->columnWidth(0) -
                                                    form.ListView->columnWidth(2) -
                                                    form.ListView->columnWidth(3) - 2 * scrollBar);
        QCOMPARE(form.BrowseSpeedButton->geometry(), QRect(width - 93 - 10, 7, 93, 26));
        QCOMPARE(form.Animate->size(), QSize(16, 16));
        QCOMPARE(form.Animate->pos(), QPoint(width - 93 - 16 - 25, (40 - 16) / 2));
    };
    check();
    form.resize(1000, 700);
    QTRY_COMPARE(form.width(), 1000);
    check();

    // A width the user dragged is kept; the folder column gives way.
    form.ListView->setColumnWidth(0, 200);
    form.resize(900, 700);
    QTRY_COMPARE(form.width(), 900);
    QCOMPARE(form.ListView->columnWidth(0), 200);
    QCOMPARE(form.ListView->columnWidth(1), 900 - 200 - form.ListView->columnWidth(2) -
                                                form.ListView->columnWidth(3) - 2 * scrollBar);
}

void WindowLayoutTest::StatusBarsHaveTheirPanels() {
    FakeShellServices shell;
    RecordingForm form(shell);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.StatusBar2->PanelCount(), 3);
    QCOMPARE(form.StatusBar2->PanelRect(0), QRect(0, 0, 250, 21));
    QCOMPARE(form.StatusBar2->PanelRect(1), QRect(250, 0, 250, 21));
    QCOMPARE(form.StatusBar2->PanelRect(2), QRect(500, 0, form.width() - 500, 21));
    QCOMPARE(form.StatusBar->PanelCount(), 1);
    QCOMPARE(form.StatusBar->PanelRect(0).width(), form.width());
    // Totals stay empty until a scan writes them.
    for (int panel = 0; panel < 3; ++panel) {
        QVERIFY(form.StatusBar2->PanelText(panel).isEmpty());
    }

    // Texts are bytes: what is not UTF-8 shows as a replacement character.
    PanelStatusBar bar({100});
    bar.SetPanelText(0, std::string("/data/caf\xe9"));
    QCOMPARE(bar.PanelText(0), QStringLiteral("/data/caf\uFFFD"));
    bar.SetPanelText(1, QStringLiteral("Zusammen 5,00 GB"));
    QCOMPARE(bar.PanelText(1), QStringLiteral("Zusammen 5,00 GB"));
    bar.SetPanelText(2, QStringLiteral("ignored"));
    QCOMPARE(bar.PanelCount(), 2);
    QVERIFY(bar.PanelText(2).isNull());
}

void WindowLayoutTest::EnglishTextsAtCreation() {
    FakeShellServices shell;
    RecordingForm form(shell);
    QCOMPARE(form.windowTitle(), QStringLiteral("Vantrel - Bulkon largest files on your computer"));
    QCOMPARE(form.TopLabel->text(),
             QStringLiteral("What are the 100 larges files on your computer?\nCheck it out."));
    const QStringList headers{"Filename", "Folder", "File size", "File date"};
    for (int section = 0; section < 4; ++section) {
        QCOMPARE(form.ListModel().headerData(section, Qt::Horizontal).toString(), headers[section]);
    }
    QCOMPARE(form.ShowInExplorerPopupmenu->text(), QStringLiteral("&Open file location"));
    QCOMPARE(form.DeletePopupmenu->text(), QStringLiteral("&Delete"));
    const QString credit = QString::fromUtf8(EnglishTexts().CreditLine.data(),
                                             qsizetype(EnglishTexts().CreditLine.size()));
    QVERIFY(!credit.isEmpty());
    QCOMPARE(form.StatusBar->PanelText(0), credit);
    // The headline measured itself for its two lines.
    QVERIFY(form.TopLabel->height() > form.TopLabel->fontMetrics().height());
}

void WindowLayoutTest::GermanUserGetsGermanTexts() {
    ScopedEnvironment german("LC_ALL", "de_DE.UTF-8");
    TestTree tree;
    tree.AddFiles(5, 5);
    FakeShellServices shell;
    RecordingForm form(shell);
    QCOMPARE(form.windowTitle(),
             QStringLiteral("Vantrel - Die Bulkon gr\u00f6\u00dften Dateien auf Ihrem Computer"));
    // The first line keeps its trailing blank.
    QCOMPARE(form.TopLabel->text(),
             QStringLiteral("Welches sind die 100 gr\u00f6\u00dften Dateien auf ihrem Rechner? "
                            "\nFinden sie es heraus!"));
    const QStringList headers{"Dateiname", "Ordner", QStringLiteral("Dateigr\u00f6\u00dfe"),
                              QStringLiteral("Ge\u00e4ndert")};
    for (int section = 0; section < 4; ++section) {
        QCOMPARE(form.ListModel().headerData(section, Qt::Horizontal).toString(), headers[section]);
    }
    QCOMPARE(form.ShowInExplorerPopupmenu->text(), QStringLiteral("&\u00d6ffne Dateipfad"));
    QCOMPARE(form.DeletePopupmenu->text(), QStringLiteral("&L\u00f6schen"));

    // The button speaks German while a scan runs, and reads "Browse" afterwards.
    QString captionDuringScan;
    form.ScanHost().SetProcessEventsIntervalMs(0);
    form.ScanHost().SetProcessingHook([&](std::int64_t count) {
        if (count == 1) {
            captionDuringScan = form.BrowseSpeedButton->text();
        }
    });
    form.StartScan(tree.Root());
    QCOMPARE(captionDuringScan, QStringLiteral("Stopp"));
    QCOMPARE(form.BrowseSpeedButton->text(), QStringLiteral("Browse"));
    QVERIFY(form.StatusBar2->PanelText(0).startsWith(QStringLiteral("Zusammen ")));
}

void WindowLayoutTest::LocaleChangeRereadsTheFormats() {
    FakeShellServices shell;
    RecordingForm form(shell);
    const LocaleFormat system = ReadSystemLocaleFormat();
    QCOMPARE(form.Engine().Locale().ShortDatePattern, system.ShortDatePattern);

    LocaleFormat stale;
    stale.DecimalSeparator = "#";
    stale.ShortDatePattern = "yyyy/'x'/d";
    form.Engine().SetLocaleFormat(stale);
    QEvent change(QEvent::LocaleChange);
    QCoreApplication::sendEvent(&form, &change);
    QCOMPARE(form.Engine().Locale().DecimalSeparator, system.DecimalSeparator);
    QCOMPARE(form.Engine().Locale().ShortDatePattern, system.ShortDatePattern);
}

void WindowLayoutTest::GlyphBackgroundBecomesTransparent() {
    for (const char* resource : {":/glyphs/STOP", ":/glyphs/ORDNER"}) {
        const QPixmap glyph = LoadButtonGlyph(QString::fromLatin1(resource));
        QVERIFY2(!glyph.isNull(), resource);
        QCOMPARE(glyph.size(), QSize(24, 24));
        const QImage image = glyph.toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(qAlpha(image.pixel(0, 23)), 0);
        QCOMPARE(qAlpha(image.pixel(12, 12)), 255);
    }
    QVERIFY(LoadButtonGlyph(QStringLiteral(":/glyphs/MISSING")).isNull());
}

void WindowLayoutTest::BusyAnimationLoopsAndRewinds() {
    QWidget parent;
    BusyAnimation animation(&parent);
    QVERIFY(animation.LoadClip(QStringLiteral(":/animation/152")));
    QCOMPARE(animation.FrameCount(), 8);
    QCOMPARE(animation.size(), QSize(16, 16));
    animation.hide();

    animation.Start();
    QVERIFY(!animation.isHidden());
    QVERIFY(animation.IsPlaying());
    for (int step = 0; step < 3; ++step) {
        animation.ShowNextFrame();
    }
    QCOMPARE(animation.CurrentFrame(), 3);
    for (int step = 0; step < 5; ++step) {
        animation.ShowNextFrame();
    }
    QCOMPARE(animation.CurrentFrame(), 0); // after the last frame the clip starts again
    animation.ShowNextFrame();
    animation.Stop();
    QVERIFY(animation.isHidden());
    QVERIFY(!animation.IsPlaying());
    QCOMPARE(animation.CurrentFrame(), 0);

    BusyAnimation broken(&parent);
    QVERIFY(!broken.LoadClip(QStringLiteral(":/animation/none")));
    broken.ShowNextFrame();
    QCOMPARE(broken.CurrentFrame(), 0);
}

QTEST_MAIN(WindowLayoutTest)
#include "WindowLayoutTest.moc"
