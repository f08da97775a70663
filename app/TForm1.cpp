#include "TForm1.h"

#include "BusyAnimation.h"
#include "ButtonGlyph.h"
#include "PanelStatusBar.h"
#include "WindowGeometry.h"
#include "platform/fs/LocalTime.h"
#include "platform/fs/Paths.h"
#include "platform/fs/Volume.h"
#include "platform/shell/HtmlView.h"
#include "platform/shell/ResourceText.h"
#include "platform/shell/ShellServices.h"
#include "platform/shell/SystemLocaleFormat.h"
#include "report/ReportFile.h"
#include "report/ReportPage.h"
#include "scan/InterfaceTexts.h"
#include "scan/StopRequested.h"
#include "scan/TextFormat.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QThread>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
constexpr int TopPanelHeight = 40;
constexpr int StatusBarHeight = 21;
constexpr int SplitterHandleWidth = 4;
constexpr int ColumnWidths[ResultListModel::ColumnCount] = {122, 244, 122, 122};

QString Text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The headline's lines are separated by a carriage return.
QString Headline(std::string_view utf8) {
    QString text = Text(utf8);
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
} // namespace

TForm1::TForm1(ShellServices& shell, QWidget* parent)
    : QWidget(parent), shell_(shell), host_(*this), engine_(host_, icons_),
      model_(engine_.List(), &icons_), startupRoot_(SystemDriveRoot()) {
    CreateControls();
    FormCreate();
    // Escape is seen before the focused control sees it, wherever the focus is.
    qApp->installEventFilter(this);
}

TForm1::~TForm1() = default;

void TForm1::CreateControls() {
    setObjectName(QStringLiteral("Form1"));
    const InterfaceTexts& english = EnglishTexts();
    setWindowTitle(Text(english.Caption));
    QFont designFont = font();
    designFont.setPointSize(8);
    setFont(designFont);
    resize(800, 600);

    TopPanel = new QWidget(this);
    TopPanel->setObjectName(QStringLiteral("TopPanel"));
    TopPanel->setFixedHeight(TopPanelHeight);

    AppImage = new QLabel(TopPanel);
    AppImage->setObjectName(QStringLiteral("AppImage"));
    AppImage->setPixmap(QIcon(QStringLiteral(":/icons/bulkon-32")).pixmap(32, 32));
    AppImage->setCursor(Qt::PointingHandCursor);
    AppImage->setGeometry(7, 7, 32, 32);
    AppImage->adjustSize();

    TopLabel = new QLabel(TopPanel);
    TopLabel->setObjectName(QStringLiteral("TopLabel"));
    TopLabel->setGeometry(52, 7, 226, 26);
    TopLabel->setText(Headline(english.Headline));

    BrowseSpeedButton = new QToolButton(TopPanel);
    BrowseSpeedButton->setObjectName(QStringLiteral("BrowseSpeedButton"));
    BrowseSpeedButton->setAutoRaise(true);
    BrowseSpeedButton->setAutoFillBackground(true);
    BrowseSpeedButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    BrowseSpeedButton->setIconSize(QSize(24, 24));
    BrowseSpeedButton->setFocusPolicy(Qt::NoFocus);
    BrowseSpeedButton->setGeometry(540, 7, 93, 26);
    BrowseSpeedButton->setFixedSize(93, 26);
    BrowseSpeedButton->setText(Text(english.IdleButton));

    Animate = new BusyAnimation(TopPanel);
    Animate->setObjectName(QStringLiteral("Animate"));
    Animate->setGeometry(514, 7, 13, 13);
    Animate->hide();

    ListView = new QTreeView();
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setModel(&model_);
    ListView->setRootIsDecorated(false);
    ListView->setItemsExpandable(false);
    ListView->setUniformRowHeights(true);
    ListView->setAllColumnsShowFocus(true);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->setIconSize(QSize(16, 16));
    ListView->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView->header()->setSectionsClickable(false);
    ListView->header()->setSectionsMovable(false);
    ListView->header()->setStretchLastSection(false);
    for (int column = 0; column < ResultListModel::ColumnCount; ++column) {
        ListView->setColumnWidth(column, ColumnWidths[column]);
    }
    // The selected row stays as visible as with the focus when the focus is elsewhere.
    QPalette listPalette = ListView->palette();
    listPalette.setColor(QPalette::Inactive, QPalette::Highlight,
                         listPalette.color(QPalette::Active, QPalette::Highlight));
    listPalette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         listPalette.color(QPalette::Active, QPalette::HighlightedText));
    ListView->setPalette(listPalette);
    model_.SetHeaders({Text(english.Columns[0]), Text(english.Columns[1]), Text(english.Columns[2]),
                       Text(english.Columns[3])});

    Splitter2 = new QSplitter(Qt::Vertical, this);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setHandleWidth(SplitterHandleWidth);
    Splitter2->setChildrenCollapsible(false);
    Splitter2->setOpaqueResize(true);
    WebBrowser = CreateWebBrowser();
    Splitter2->addWidget(ListView);
    Splitter2->addWidget(WebBrowser);
    // The list takes what the window gains; the report view keeps its height.
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);

    StatusBar2 = new PanelStatusBar({250, 500}, this);
    StatusBar2->setObjectName(QStringLiteral("StatusBar2"));
    StatusBar2->setFixedHeight(StatusBarHeight);
    StatusBar = new PanelStatusBar({}, this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setFixedHeight(StatusBarHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(TopPanel);
    layout->addWidget(Splitter2, 1);
    layout->addWidget(StatusBar2);
    layout->addWidget(StatusBar);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    ShowInExplorerPopupmenu = PopupMenu->addAction(Text(english.LocateMenu));
    ShowInExplorerPopupmenu->setObjectName(QStringLiteral("ShowInExplorerPopupmenu"));
    DeletePopupmenu = PopupMenu->addAction(Text(english.DeleteMenu));
    DeletePopupmenu->setObjectName(QStringLiteral("DeletePopupmenu"));

    connect(BrowseSpeedButton, &QToolButton::clicked, this, [this] { BrowseSpeedButtonClick(); });
    connect(ListView, &QTreeView::clicked, this, [this] { ListViewClick(); });
    connect(ListView, &QTreeView::doubleClicked, this, [this] { ListViewDblClick(); });
    connect(ListView, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu->popup(ListView->viewport()->mapToGlobal(pos));
    });
    connect(ShowInExplorerPopupmenu, &QAction::triggered, this,
            [this] { ShowInExplorerPopupmenuClick(); });
    connect(DeletePopupmenu, &QAction::triggered, this, [this] { DeletePopupmenuClick(); });
}

HtmlView* TForm1::CreateWebBrowser() {
    auto* view = new HtmlView();
    view->setObjectName(QStringLiteral("WebBrowser"));
    return view;
}

void TForm1::FormCreate() {
    Animate->LoadClip(QStringLiteral(":/animation/152"));

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->size() : QSize(800, 600);
    const QRect frame = InitialWindowGeometry(screenSize);
    resize(frame.size());
    move(frame.topLeft());

    // Lay the controls out now, so that the list's share of the splitter can be set before
    // the window is first shown.
    layout()->activate();
    const int listHeight = InitialListHeight(height());
    const int viewHeight = std::max(0, Splitter2->height() - Splitter2->handleWidth() - listHeight);
    Splitter2->setSizes({listHeight, viewHeight});

    if (IsGermanUser()) {
        const InterfaceTexts& german = GermanTexts();
        setWindowTitle(Text(german.Caption));
        TopLabel->setText(Headline(german.Headline));
        model_.SetHeaders({Text(german.Columns[0]), Text(german.Columns[1]),
                           Text(german.Columns[2]), Text(german.Columns[3])});
        ShowInExplorerPopupmenu->setText(Text(german.LocateMenu));
        DeletePopupmenu->setText(Text(german.DeleteMenu));
    }
    TopLabel->adjustSize();
    TopLabel->update();

    StatusBar->SetPanelText(0, Text(TextsFor(IsGermanUser()).CreditLine));
    ReadLocaleFormat();
    FormResize();
}

void TForm1::FormResize() {
    const int scrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ListView);
    ListView->setColumnWidth(1, FolderColumnWidth(width(), ListView->columnWidth(0),
                                                  ListView->columnWidth(2),
                                                  ListView->columnWidth(3), scrollBarWidth,
                                                  ListView->header()->minimumSectionSize()));
    BrowseSpeedButton->move(width() - BrowseSpeedButton->width() - 10, BrowseSpeedButton->y());
    Animate->move(width() - BrowseSpeedButton->width() - Animate->width() - 25,
                  (TopPanelHeight - Animate->height()) / 2);
}

void TForm1::FormPaint() {
    RunGuarded([this] {
        // Let the window be drawn completely before the walk takes over.
        QCoreApplication::processEvents();
        QThread::msleep(100);
        QCoreApplication::processEvents();
        // Meanwhile the window may have been closed, or the user may have scanned a folder
        // of their own choice: the system drive is then not scanned behind their back.
        if (isHidden() || scanEverStarted_) {
            return;
        }
        StartScan(startupRoot_);
    });
}

void TForm1::StartScan(const std::string& path) {
    scanEverStarted_ = true;
    const bool wasRunning = ScanRunning();
    RunGuarded([this, &path] { engine_.StartScan(path); });
    if (!wasRunning && ScanRunning()) {
        // The walk failed midway and its error has been shown. The window must not go on
        // looking busy: every command would take it for a running scan and only stop it.
        host_.StopBusyAnimation();
        ShowButtonGlyph(ButtonGlyph::Folder, std::string(TextsFor(IsGermanUser()).BrowseButton));
        StatusBar->SetPanelText(0, Text(TextsFor(IsGermanUser()).CreditLine));
        StopRequested = false;
    }
}

void TForm1::ShowReportPage(bool withSummary) {
    WebBrowser->NavigateBlank();
    WebBrowser->RepaintNow();
    const bool german = IsGermanUser();
    ScanState& state = engine_.State();
    // The mount table is read only when the sentence names the volume.
    const std::string volumeLabel = withSummary ? VolumeLabelFor(state.ScanRoot) : std::string();
    const std::string page =
        BuildReportPage(LoadTextResource(std::string(TextsFor(german).TemplateResource)), state,
                        withSummary, german, engine_.Locale(), ProgramPath(), volumeLabel);
    // Each page goes to a new file that is never deleted: the view may still be reading an
    // earlier one.
    WebBrowser->Navigate(WriteReportFile(page));
}

bool TForm1::ScanRunning() const {
    return !Animate->isHidden();
}

int TForm1::SelectedRow() const {
    const QModelIndexList rows = ListView->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return -1;
    }
    const int row = rows.first().row();
    return row >= 0 && row < engine_.List().Count() ? row : -1;
}

std::string TForm1::SelectedPath() const {
    const int row = SelectedRow();
    if (row < 0) {
        return std::string();
    }
    const ResultEntry& entry = engine_.List().At(row);
    return JoinPath(entry.FolderText, entry.Caption);
}

void TForm1::ShowButtonGlyph(ButtonGlyph glyph, const std::string& caption) {
    const QString resource = glyph == ButtonGlyph::Stop ? QStringLiteral(":/glyphs/STOP")
                                                        : QStringLiteral(":/glyphs/ORDNER");
    BrowseSpeedButton->setIcon(QIcon(LoadButtonGlyph(resource)));
    BrowseSpeedButton->setText(Text(caption));
}

void TForm1::BrowseSpeedButtonClick() {
    RunGuarded([this] {
        if (ScanRunning()) {
            StopRequested = true;
            return;
        }
        const std::string folder = shell_.BrowseForFolder(this);
        if (!folder.empty()) {
            StartScan(folder);
        }
    });
}

void TForm1::FormKeyDown(int key) {
    if (key != Qt::Key_Escape) {
        return;
    }
    RunGuarded([this] {
        if (ScanRunning()) {
            StopRequested = true;
        } else {
            close();
        }
    });
}

void TForm1::FormCloseQuery() {
    if (ScanRunning()) {
        StopRequested = true;
    }
}

void TForm1::FormClose() {}

void TForm1::AppImageClick() {
    RunGuarded([this] {
        if (!shell_.OpenUrl(std::string(PublisherSiteUrl))) {
            shell_.Beep();
        }
    });
}

void TForm1::ListViewClick() {
    RunGuarded([this] {
        const int row = SelectedRow();
        if (row >= 0) {
            StatusBar->SetPanelText(0, engine_.List().At(row).FolderText);
        }
    });
}

void TForm1::ListViewDblClick() {
    RunGuarded([this] {
        const std::string path = SelectedPath();
        if (!path.empty() && !shell_.OpenFile(path)) {
            shell_.Beep();
        }
    });
}

void TForm1::ShowInExplorerPopupmenuClick() {
    RunGuarded([this] {
        const std::string path = SelectedPath();
        if (path.empty()) {
            return;
        }
        const FileLocation location = SplitFileLocation(path);
        if (shell_.RevealSelectFile(location.Location, location.FileName)) {
            return;
        }
        if (shell_.ExploreFolder(location.Location)) {
            return;
        }
        shell_.StartFileManager(location.Location);
    });
}

void TForm1::DeletePopupmenuClick() {
    RunGuarded([this] {
        const int row = SelectedRow();
        if (row < 0) {
            return;
        }
        // Copies: the confirmation runs an event loop of its own, and the entry is only
        // known again by its name afterwards.
        const std::string folder = engine_.List().At(row).FolderText;
        const std::string caption = engine_.List().At(row).Caption;
        if (!shell_.DeleteFileForGood(this, JoinPath(folder, caption))) {
            return;
        }
        auto isTheEntry = [&](int candidate) {
            const ResultEntry& entry = engine_.List().At(candidate);
            return entry.FolderText == folder && entry.Caption == caption;
        };
        int current = -1;
        if (row < engine_.List().Count() && isTheEntry(row)) {
            current = row;
        } else {
            for (int candidate = 0; candidate < engine_.List().Count(); ++candidate) {
                if (isTheEntry(candidate)) {
                    current = candidate;
                    break;
                }
            }
        }
        if (current >= 0) {
            engine_.List().RemoveAt(current);
        }
    });
}

void TForm1::SetMessageBoxHook(std::function<void(const QString&)> hook) {
    messageBoxHook_ = std::move(hook);
}

void TForm1::ReadLocaleFormat() {
    engine_.SetLocaleFormat(ReadSystemLocaleFormat());
    FitValueColumnsToFont();
}

void TForm1::FitValueColumnsToFont() {
    // The design widths suit a narrow dialog font. With a wider desktop font the size and
    // date texts, the very figures the list is for, would be cut short; those two columns
    // grow to hold a long example of each and never shrink below what they are.
    const QFontMetrics metrics(ListView->font());
    const int padding = 2 * metrics.averageCharWidth() + 4;
    const QString sizeSample =
        Text(SizeText(99'999'999'999ULL) + std::string(EnglishTexts().SizeSuffix));
    const QString dateSample =
        Text(DateColumnText(LocalDateTime{2026, 12, 28, 22, 58, 58}, engine_.Locale()));
    for (const auto& [column, sample] : {std::pair{2, sizeSample}, std::pair{3, dateSample}}) {
        const int needed = metrics.horizontalAdvance(sample) + padding;
        ListView->setColumnWidth(column, std::max(ListView->columnWidth(column), needed));
    }
}

void TForm1::RunGuarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        ShowError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowError(QStringLiteral("An unexpected error occurred."));
    }
}

void TForm1::ShowError(const QString& message) {
    if (messageBoxHook_) {
        messageBoxHook_(message);
        return;
    }
    QMessageBox::critical(this, windowTitle(), message);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TForm1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!firstPaintSeen_) {
        firstPaintSeen_ = true;
        // Painting must not start the walk: it repaints the window from inside. Once this
        // paint is done the event loop runs the first scan.
        QMetaObject::invokeMethod(
            this, [this] { FormPaint(); }, Qt::QueuedConnection);
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    // Closing is never refused. During a scan the walk unwinds first; the program ends once
    // control is back in the event loop.
    event->accept();
    FormClose();
}

void TForm1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) {
        RunGuarded([this] { ReadLocaleFormat(); });
    }
    QWidget::changeEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        if (keyEvent->key() == Qt::Key_Escape) {
            FormKeyDown(keyEvent->key());
            return true;
        }
        return false;
    }
    if (watched == AppImage && event->type() == QEvent::MouseButtonRelease) {
        auto* mouseEvent = static_cast<QMouseEvent*>(event);
        if (mouseEvent->button() == Qt::LeftButton &&
            AppImage->rect().contains(mouseEvent->position().toPoint())) {
            AppImageClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
