#include "TForm1.h"

#include "BusyAnimation.h"
#include "ButtonGlyph.h"
#include "PanelStatusBar.h"
#include "WindowGeometry.h"
#include "platform/fs/LocalTime.h"
#include "platform/shell/HtmlView.h"
#include "platform/shell/ResourceText.h"
#include "platform/shell/SystemLocaleFormat.h"
#include "scan/InterfaceTexts.h"
#include "scan/TextFormat.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QToolButton>
#include <QToolTip>
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
    : QWidget(parent), logic_(*this, shell, icons_), model_(logic_.Engine().List(), &icons_) {
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
    QIcon programIcon(QStringLiteral(":/icons/bulkon-32"));
    // Drawn at 64 pixels for screens scaled to 200 %.
    programIcon.addFile(QStringLiteral(":/icons/bulkon-64"));
    AppImage->setPixmap(programIcon.pixmap(QSize(32, 32), devicePixelRatioF()));
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
    connect(ListView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { logic_.ListViewSelectionChanged(); });
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
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), screenSize);
    designFrame_ = InitialWindowGeometry(screenSize, available);
    // Until a window manager frames the window its inside takes the whole design size.
    resize(designFrame_.size());
    move(designFrame_.topLeft());

    // Lay the controls out now, so that the list's share of the splitter can be set before
    // the window is first shown.
    SetInitialListHeight();

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

void TForm1::SetInitialListHeight() {
    layout()->activate();
    const int listHeight = InitialListHeight(height());
    const int viewHeight = std::max(0, Splitter2->height() - Splitter2->handleWidth() - listHeight);
    Splitter2->setSizes({listHeight, viewHeight});
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

void TForm1::SetMessageBoxHook(std::function<void(const QString&)> hook) {
    messageBoxHook_ = std::move(hook);
}

void TForm1::ReadLocaleFormat() {
    logic_.Engine().SetLocaleFormat(ReadSystemLocaleFormat());
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
        Text(DateColumnText(LocalDateTime{2026, 12, 28, 22, 58, 58}, logic_.Engine().Locale()));
    for (const auto& [column, sample] : {std::pair{2, sizeSample}, std::pair{3, dateSample}}) {
        const int needed = metrics.horizontalAdvance(sample) + padding;
        ListView->setColumnWidth(column, std::max(ListView->columnWidth(column), needed));
    }
}

bool TForm1::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    int code = key;
    switch (key) {
    case Qt::Key_Escape:
        code = MainWindowLogic::EscapeKey;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        code = MainWindowLogic::EnterKey;
        break;
    case Qt::Key_Delete:
        code = MainWindowLogic::DeleteKey;
        break;
    case Qt::Key_Menu:
        code = MainWindowLogic::MenuKey;
        break;
    case Qt::Key_F10:
        code = MainWindowLogic::F10Key;
        break;
    default:
        // Letters are their capital's code in both; Qt's other keys lie far above.
        break;
    }
    unsigned held = MainWindowLogic::NoModifier;
    held |= modifiers.testFlag(Qt::ShiftModifier) ? MainWindowLogic::ShiftModifier : 0U;
    held |= modifiers.testFlag(Qt::ControlModifier) ? MainWindowLogic::ControlModifier : 0U;
    held |= modifiers.testFlag(Qt::AltModifier) ? MainWindowLogic::AltModifier : 0U;
    return logic_.FormKeyDown(code, held);
}

void TForm1::NavigateBlank() {
    WebBrowser->NavigateBlank();
    WebBrowser->RepaintNow();
}

void TForm1::Navigate(const std::string& file) {
    WebBrowser->Navigate(file);
}

std::string TForm1::ReportTemplate(std::string_view resourceName) {
    return LoadTextResource(std::string(resourceName));
}

void TForm1::StartBusyAnimation() {
    Animate->Start();
}

void TForm1::StopBusyAnimation() {
    Animate->Stop();
}

void TForm1::ShowButton(Glyph glyph, const std::string& caption) {
    const QString resource =
        glyph == Glyph::Stop ? QStringLiteral(":/glyphs/STOP") : QStringLiteral(":/glyphs/ORDNER");
    BrowseSpeedButton->setIcon(LoadButtonGlyphIcon(resource));
    BrowseSpeedButton->setText(Text(caption));
}

void TForm1::MakeBrowseButtonVisible() {
    BrowseSpeedButton->setVisible(true);
}

void TForm1::SetStatusText(const std::string& text) {
    StatusBar->SetPanelText(0, text);
}

void TForm1::WriteTotalsPanels(const TotalsPanelTexts& texts) {
    for (int panel = 0; panel < 3; ++panel) {
        StatusBar2->SetPanelText(panel, texts[static_cast<size_t>(panel)]);
    }
}

void TForm1::ProcessPendingMessages() {
    QCoreApplication::processEvents();
}

void TForm1::HoldBackRepaints() {
    ListView->viewport()->setUpdatesEnabled(false);
    // The header repaints at every change of the rows too, though its texts stay.
    ListView->header()->viewport()->setUpdatesEnabled(false);
    StatusBar->setUpdatesEnabled(false);
    StatusBar2->setUpdatesEnabled(false);
}

void TForm1::ShowHeldBackRepaints() {
    // Switching updates on again repaints each control once, with every change so far.
    ListView->viewport()->setUpdatesEnabled(true);
    ListView->header()->viewport()->setUpdatesEnabled(true);
    StatusBar->setUpdatesEnabled(true);
    StatusBar2->setUpdatesEnabled(true);
}

void TForm1::ListChanging(const ListChange& change) {
    model_.ListChanging(change);
}

void TForm1::ListChanged(const ListChange& change) {
    model_.ListChanged(change);
    if (change.What == ListChange::Kind::Update) {
        FitSizeColumnToEntry(change.Row);
    }
}

void TForm1::FitSizeColumnToEntry(int row) {
    const ResultList& list = logic_.Engine().List();
    if (row < 0 || row >= list.Count()) {
        return;
    }
    // Texts of equal length take about equal room: only a longer one is measured, a handful
    // of times in a scan.
    const std::string& sizeText = list.At(row).SizeText;
    if (sizeText.size() <= fittedSizeTextBytes_) {
        return;
    }
    fittedSizeTextBytes_ = sizeText.size();
    const QFontMetrics metrics(ListView->font());
    const int needed =
        metrics.horizontalAdvance(Text(sizeText)) + 2 * metrics.averageCharWidth() + 4;
    ListView->setColumnWidth(2, std::max(ListView->columnWidth(2), needed));
}

int TForm1::SelectedRow() const {
    const QModelIndexList rows = ListView->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TForm1::ScrollListToTop() {
    ListView->scrollToTop();
}

void TForm1::ClearSelection() {
    ListView->selectionModel()->clear();
}

void TForm1::FocusRow(int row) {
    const QModelIndex index = model_.index(row, 0);
    if (ListView->selectionModel()->currentIndex() != index) {
        // Without scrolling: a user looking further down the list during a scan stays there.
        ListView->setAutoScroll(false);
        ListView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        ListView->setAutoScroll(true);
    }
}

void TForm1::FocusList() {
    ListView->setFocus(Qt::OtherFocusReason);
}

bool TForm1::ListHasFocus() const {
    return ListView->hasFocus();
}

void TForm1::ShowContextMenu() {
    const int row = SelectedRow();
    QPoint place(0, 0);
    if (row >= 0) {
        const QRect rect = ListView->visualRect(model_.index(row, 0));
        if (ListView->viewport()->rect().intersects(rect)) {
            place = rect.bottomLeft();
        }
    }
    PopupMenu->popup(ListView->viewport()->mapToGlobal(place));
}

void TForm1::CopyText(const std::string& text) {
    QGuiApplication::clipboard()->setText(Text(text));
}

void TForm1::CloseWindow() {
    close();
}

void TForm1::ShowErrorMessage(const std::string& message) {
    const QString text =
        QString::fromLocal8Bit(message.data(), static_cast<qsizetype>(message.size()));
    if (messageBoxHook_) {
        messageBoxHook_(text);
        return;
    }
    QMessageBox::critical(this, windowTitle(), text);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
    if (listHeightPending_ && size() == designFrame_.size() - frameSize_) {
        // The inside has its final size now: the list takes half of it, as at creation.
        listHeightPending_ = false;
        SetInitialListHeight();
    }
    FitFrameToDesign();
}

void TForm1::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    FitFrameToDesign();
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FitFrameToDesign();
}

bool TForm1::ShowCutTextToolTip(QHelpEvent* event) {
    const QModelIndex index = ListView->indexAt(event->pos());
    if (!index.isValid() || index.column() > 1) {
        QToolTip::hideText();
        return true;
    }
    QStyleOptionViewItem option;
    option.initFrom(ListView->viewport());
    option.font = ListView->font();
    option.decorationSize = ListView->iconSize();
    const int needed = ListView->itemDelegate()->sizeHint(option, index).width();
    const QRect cell = ListView->visualRect(index);
    if (needed <= cell.width()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(),
                       ListView->viewport(), cell);
    return true;
}

void TForm1::FitFrameToDesign() {
    if (frameFitted_ || !isVisible() || designFrame_.isEmpty()) {
        return;
    }
    const QRect frame = frameGeometry();
    const QRect inside = geometry();
    const QSize frameSize = frame.size() - inside.size();
    if (frameSize.isEmpty() && frame.topLeft() == inside.topLeft()) {
        // Not framed (yet, or ever: without a window manager there is no frame).
        return;
    }
    frameFitted_ = true;
    frameSize_ = frameSize;
    listHeightPending_ = true;
    resize(designFrame_.size() - frameSize);
    // A top-level window's move places its frame.
    move(designFrame_.topLeft());
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
    // During a scan the walk unwinds first; the program ends once control is back in the
    // event loop.
    if (logic_.FormCloseQuery()) {
        event->accept();
        FormClose();
    } else {
        event->ignore();
    }
}

void TForm1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) {
        logic_.RunGuarded([this] { ReadLocaleFormat(); });
    }
    QWidget::changeEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        return FormKeyDown(keyEvent->key(), keyEvent->modifiers());
    }
    if (watched == ListView->viewport() && event->type() == QEvent::ToolTip) {
        return ShowCutTextToolTip(static_cast<QHelpEvent*>(event));
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
