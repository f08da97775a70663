#include "TForm1.h"

#include "ResourceIds.h"
#include "ResourceText.h"
#include "WebBrowserHost.h"
#include "WindowsLocaleFormat.h"
#include "platform/fs/LocalTime.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/WideText.h"
#include "scan/InterfaceTexts.h"
#include "scan/TextFormat.h"
#include "window/PaneSplit.h"
#include "window/WindowGeometry.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace {

constexpr wchar_t FormClass[] = L"TForm1";
constexpr wchar_t PanelClass[] = L"BulkonPanel";
constexpr wchar_t SplitterClass[] = L"BulkonSplitter";
constexpr wchar_t BrowserClass[] = L"BulkonWebBrowser";

// Design sizes, in pixels at 96 DPI.
constexpr int DesignDpi = 96;
constexpr int TopPanelHeight = 40;
constexpr int StatusBarHeight = 21;
constexpr int SplitterHeight = 4;
constexpr int ButtonWidth = 93;
constexpr int ButtonHeight = 26;
constexpr int ColumnWidths[4] = {122, 244, 122, 122};
constexpr int TotalsPanelEdges[2] = {250, 500};

// Control and menu identifiers.
constexpr UINT BrowseButtonId = 101;
constexpr UINT AppImageId = 102;
constexpr UINT ListViewId = 103;
// The list's one tool in its tip.
constexpr UINT_PTR CellTipId = 1;
constexpr UINT ShowInExplorerMenuId = 201;
constexpr UINT DeleteMenuId = 202;

// Posted by the first paint: the start-up scan runs from the message loop, not from inside
// a paint.
constexpr UINT FirstPaintMessage = WM_APP + 1;

std::wstring Wide(std::string_view utf8) {
    return ToWide(utf8);
}

// The headline's lines are separated by a carriage return; a static control wants CR LF.
std::wstring HeadlineText(std::string_view utf8) {
    std::wstring text;
    for (const wchar_t c : ToWide(utf8)) {
        text += c;
        if (c == L'\r') {
            text += L'\n';
        }
    }
    return text;
}

// The monitor's DPI for a window. The per-window call exists from Windows 10 (1607) on;
// before it the system DPI is all there is.
int DpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : DesignDpi;
}

int ScrollBarWidth(int dpi) {
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto forDpi = reinterpret_cast<GetSystemMetricsForDpiFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
    return forDpi != nullptr ? forDpi(SM_CXVSCROLL, static_cast<UINT>(dpi))
                             : GetSystemMetrics(SM_CXVSCROLL);
}

// A half rounds to the even neighbour.
int HalfToEven(int value) {
    const int half = value / 2;
    if (value % 2 == 0 || half % 2 == 0) {
        return half;
    }
    return half + 1;
}

// The resource names of a glyph and the clip's number in the version for `percent`.
std::wstring GlyphResource(const wchar_t* name, int percent) {
    return percent == 100 ? std::wstring(name) : name + (L"_" + std::to_wstring(percent));
}

int BusyClipResource(int percent) {
    return percent == 200 ? IDR_BUSY_CLIP_200 : percent == 150 ? IDR_BUSY_CLIP_150 : IDR_BUSY_CLIP;
}

// A glyph as an image list of one picture, the colour of its bottom-left pixel masked out.
HIMAGELIST LoadGlyph(HINSTANCE instance, const wchar_t* name) {
    HBITMAP bitmap =
        static_cast<HBITMAP>(LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap == nullptr) {
        return nullptr;
    }
    BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const COLORREF transparent = GetPixel(memory, 0, info.bmHeight - 1);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    HIMAGELIST list = ImageList_Create(info.bmWidth, info.bmHeight, ILC_COLOR24 | ILC_MASK, 1, 0);
    if (list != nullptr) {
        ImageList_AddMasked(list, bitmap, transparent);
    }
    DeleteObject(bitmap);
    return list;
}

} // namespace

TForm1::TForm1(HINSTANCE instance) : instance_(instance), logic_(*this, shell_, icons_) {
    RegisterClasses(instance);
    CreateControls();
    shell_.SetOwner(Form1);
    shell_.SetMessageHandler([this](const std::string& message) { ShowErrorMessage(message); });
    FormCreate();
}

TForm1::~TForm1() {
    // The control goes before the window it lives in.
    browser_.reset();
    if (Form1 != nullptr) {
        DestroyWindow(Form1);
    }
    if (PopupMenu != nullptr) {
        DestroyMenu(PopupMenu);
    }
    for (HIMAGELIST list : {stopGlyph_, folderGlyph_}) {
        if (list != nullptr) {
            ImageList_Destroy(list);
        }
    }
    if (appIcon_ != nullptr) {
        DestroyIcon(appIcon_);
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

void TForm1::RegisterClasses(HINSTANCE instance) {
    static bool registered = false;
    if (registered) {
        return;
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES |
                                                        ICC_ANIMATE_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXW form{};
    form.cbSize = sizeof(form);
    form.lpfnWndProc = FormProc;
    form.hInstance = instance;
    form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_BULKON));
    form.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_BULKON), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON),
                                                 GetSystemMetrics(SM_CYSMICON), 0));
    form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = FormClass;
    RegisterClassExW(&form);

    WNDCLASSEXW panel = form;
    panel.lpfnWndProc = PanelProc;
    panel.hIcon = nullptr;
    panel.hIconSm = nullptr;
    panel.lpszClassName = PanelClass;
    RegisterClassExW(&panel);

    WNDCLASSEXW splitter = panel;
    splitter.lpfnWndProc = SplitterProc;
    splitter.hCursor = LoadCursorW(nullptr, IDC_SIZENS);
    splitter.lpszClassName = SplitterClass;
    RegisterClassExW(&splitter);

    WNDCLASSEXW browser = panel;
    browser.lpfnWndProc = BrowserProc;
    browser.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    browser.lpszClassName = BrowserClass;
    RegisterClassExW(&browser);
    registered = true;
}

TForm1* TForm1::FormOf(HWND window) {
    HWND root = window != nullptr ? GetAncestor(window, GA_ROOT) : nullptr;
    if (root == nullptr) {
        return nullptr;
    }
    wchar_t className[16] = {};
    GetClassNameW(root, className, 16);
    if (wcscmp(className, FormClass) != 0) {
        return nullptr;
    }
    return reinterpret_cast<TForm1*>(GetWindowLongPtrW(root, GWLP_USERDATA));
}

void TForm1::CreateControls() {
    const InterfaceTexts& english = EnglishTexts();
    Form1 = CreateWindowExW(0, FormClass, Wide(english.Caption).c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                            800, 600, nullptr, nullptr, instance_, this);
    if (Form1 == nullptr) {
        throw std::runtime_error(
            FillIn(TextsFor(IsGermanUser()).WindowNotCreated, SystemMessage(GetLastError())));
    }
    dpi_ = DpiOf(Form1);
    const DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

    TopPanel = CreateWindowExW(0, PanelClass, L" ", child | WS_CLIPCHILDREN, 0, 0, 784,
                               Scale(TopPanelHeight), Form1, nullptr, instance_, this);
    AppImage = CreateWindowExW(0, L"STATIC", nullptr, child | SS_ICON | SS_NOTIFY, Scale(7),
                               Scale(7), Scale(32), Scale(32), TopPanel,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(AppImageId)),
                               instance_, nullptr);
    TopLabel =
        CreateWindowExW(0, L"STATIC", nullptr, child | SS_LEFT | SS_NOPREFIX, Scale(52), Scale(7),
                        Scale(226), Scale(26), TopPanel, nullptr, instance_, nullptr);
    headline_ = HeadlineText(english.Headline);
    BrowseSpeedButton = CreateWindowExW(
        0, L"BUTTON", L" ", child | BS_OWNERDRAW, Scale(540), Scale(7), Scale(ButtonWidth),
        Scale(ButtonHeight), TopPanel,
        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(BrowseButtonId)), instance_, nullptr);
    buttonCaption_ = Wide(english.IdleButton);
    // The clip plays on a thread of the control's own, so it keeps moving while the walk
    // holds this thread between its processings of pending messages.
    Animate = CreateWindowExW(0, ANIMATE_CLASSW, nullptr,
                              WS_CHILD | WS_CLIPSIBLINGS | ACS_TRANSPARENT, Scale(514), Scale(7),
                              Scale(13), Scale(13), TopPanel, nullptr, instance_, nullptr);

    ListView = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
                               child | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS |
                                   LVS_SINGLESEL | LVS_NOSORTHEADER | LVS_SHAREIMAGELISTS,
                               0, Scale(40), 784, Scale(176), Form1,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(ListViewId)),
                               instance_, nullptr);
    ListView_SetExtendedListViewStyle(ListView, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    SetColumns();
    CreateCellTip();

    Splitter2 = CreateWindowExW(0, SplitterClass, nullptr, child, 0, Scale(216), 784,
                                Scale(SplitterHeight), Form1, nullptr, instance_, this);
    WebBrowser = CreateWindowExW(0, BrowserClass, nullptr, child | WS_CLIPCHILDREN, 0, Scale(220),
                                 784, Scale(300), Form1, nullptr, instance_, this);
    // Without the control (a system without it, or one that refuses it) the window goes on
    // without the page: the report files are still written.
    browser_ = WebBrowserHost::Create(WebBrowser, [this](const std::string& url) {
        shell_.OpenUrl(url, [this](bool opened) {
            if (!opened) {
                shell_.Beep();
            }
        });
    });

    StatusBar2 = CreateWindowExW(
        0, STATUSCLASSNAMEW, nullptr, child | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 0,
        Scale(520), 784, Scale(StatusBarHeight), Form1, nullptr, instance_, nullptr);
    StatusBar = CreateWindowExW(
        0, STATUSCLASSNAMEW, nullptr,
        child | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | SBARS_SIZEGRIP, 0, Scale(541),
        784, Scale(StatusBarHeight), Form1, nullptr, instance_, nullptr);

    PopupMenu = CreatePopupMenu();
    AppendMenuW(PopupMenu, MF_STRING, ShowInExplorerMenuId, Wide(english.LocateMenu).c_str());
    AppendMenuW(PopupMenu, MF_STRING, DeleteMenuId, Wide(english.DeleteMenu).c_str());

    ApplyFonts();
    LoadPictures();
}

void TForm1::CreateCellTip() {
    // A tip the window places itself: when the mouse rests on a cell whose text is cut, it
    // shows the whole name or folder over the cell.
    CellTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, Form1, nullptr, instance_, nullptr);
    if (CellTip == nullptr) {
        return;
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_TRANSPARENT;
    tool.hwnd = ListView;
    tool.uId = CellTipId;
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(CellTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // A folder can be long: the tip breaks it into lines no wider than half the screen.
    SendMessageW(CellTip, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN) / 2);
    // The list view's procedure is replaced rather than subclassed by the common controls:
    // their subclass looks itself up in a window property at every message, and under Wine
    // each such look is a round trip to the Wine server. The list is sent a few messages
    // whenever the list of files changes, which made scanning in the window up to four times
    // as slow as without it.
    SetWindowLongPtrW(ListView, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    listViewProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(ListView, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListViewProc)));
}

void TForm1::TrackCellTip(POINT point) {
    LVHITTESTINFO hit{};
    hit.pt = point;
    const int row = ListView_SubItemHitTest(ListView, &hit);
    const int column = (hit.flags & LVHT_ONITEM) != 0 && row >= 0 ? hit.iSubItem : -1;
    if (row == tipRow_ && column == tipColumn_) {
        return;
    }
    HideCellTip();
    tipRow_ = row;
    tipColumn_ = column;
    const ResultList& list = logic_.Engine().List();
    if (column < 0 || column > 1 || row >= list.Count()) {
        return;
    }
    const ResultEntry& entry = list.At(row);
    std::wstring text = Wide(column == 0 ? entry.Caption : entry.FolderText);
    RECT label{};
    ListView_GetSubItemRect(ListView, row, column, LVIR_LABEL, &label);
    // The list leaves a margin on each side of a cell's text.
    const int needed = ListView_GetStringWidth(ListView, text.c_str()) + Scale(12);
    if (needed <= label.right - label.left) {
        return;
    }
    tipText_ = std::move(text);
    tipCell_ = label;
    // The tip waits until the mouse rests on the cell.
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_HOVER | TME_LEAVE;
    track.hwndTrack = ListView;
    track.dwHoverTime = HOVER_DEFAULT;
    TrackMouseEvent(&track);
}

void TForm1::ShowCellTip() {
    if (CellTip == nullptr || tipText_.empty()) {
        return;
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = ListView;
    tool.uId = CellTipId;
    tool.lpszText = tipText_.data();
    SendMessageW(CellTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    POINT corner{tipCell_.left, tipCell_.top};
    ClientToScreen(ListView, &corner);
    SendMessageW(CellTip, TTM_TRACKPOSITION, 0, MAKELPARAM(corner.x, corner.y));
    SendMessageW(CellTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void TForm1::HideCellTip() {
    tipText_.clear();
    if (CellTip == nullptr) {
        return;
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = ListView;
    tool.uId = CellTipId;
    SendMessageW(CellTip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

int TForm1::ButtonGlyphPixels() const {
    int width = 0;
    int height = 0;
    if (stopGlyph_ != nullptr) {
        ImageList_GetIconSize(stopGlyph_, &width, &height);
    }
    return width;
}

std::wstring TForm1::CellTipText() const {
    if (CellTip == nullptr || IsWindowVisible(CellTip) == FALSE) {
        return std::wstring();
    }
    return tipText_;
}

LRESULT CALLBACK TForm1::ListViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    const WNDPROC own = form->listViewProc_;
    switch (message) {
    case WM_MOUSEMOVE:
        form->TrackCellTip({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        break;
    case WM_MOUSEHOVER:
        form->ShowCellTip();
        break;
    case WM_MOUSELEAVE:
    case WM_MOUSEWHEEL:
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_KEYDOWN:
        // Another cell comes under the mouse: the next move decides again.
        form->HideCellTip();
        form->tipRow_ = -1;
        form->tipColumn_ = -1;
        break;
    case WM_NCDESTROY:
        // The last message: the list view's own procedure takes it, and it alone.
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return CallWindowProcW(own, window, message, wParam, lParam);
}

void TForm1::SetColumns() {
    const InterfaceTexts& english = EnglishTexts();
    for (int column = 0; column < 4; ++column) {
        std::wstring header = Wide(english.Columns[column]);
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        info.fmt = column >= 2 ? LVCFMT_RIGHT : LVCFMT_LEFT;
        info.cx = Scale(ColumnWidths[column]);
        info.pszText = header.data();
        info.iSubItem = column;
        ListView_InsertColumn(ListView, column, &info);
    }
}

void TForm1::ApplyFonts() {
    HFONT old = font_;
    // The design's dialog font at 8 points, in this monitor's pixels.
    font_ = CreateFontW(-MulDiv(8, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, L"MS Shell Dlg");
    for (HWND control : {TopLabel, BrowseSpeedButton, ListView, StatusBar2, StatusBar}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
    if (old != nullptr) {
        DeleteObject(old);
    }
}

void TForm1::LoadPictures() {
    HICON old = appIcon_;
    appIcon_ = static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(IDI_BULKON), IMAGE_ICON, Scale(32), Scale(32), 0));
    SendMessageW(AppImage, STM_SETICON, reinterpret_cast<WPARAM>(appIcon_), 0);
    if (old != nullptr) {
        DestroyIcon(old);
    }
    // The glyphs and the clip come in three sizes; a screen of another scale gets the
    // largest that fits.
    const int percent = PictureScalePercent(dpi_);
    if (percent == picturePercent_) {
        return;
    }
    picturePercent_ = percent;
    const bool showingStop = buttonGlyph_ != nullptr && buttonGlyph_ == stopGlyph_;
    const bool showingFolder = buttonGlyph_ != nullptr && buttonGlyph_ == folderGlyph_;
    for (HIMAGELIST list : {stopGlyph_, folderGlyph_}) {
        if (list != nullptr) {
            ImageList_Destroy(list);
        }
    }
    stopGlyph_ = LoadGlyph(instance_, GlyphResource(L"STOP", percent).c_str());
    folderGlyph_ = LoadGlyph(instance_, GlyphResource(L"ORDNER", percent).c_str());
    buttonGlyph_ = showingStop ? stopGlyph_ : showingFolder ? folderGlyph_ : nullptr;
    InvalidateRect(BrowseSpeedButton, nullptr, TRUE);

    // Opening a clip sizes the control to it; a running clip goes on in its new size.
    const bool playing = IsWindowVisible(Animate) != FALSE;
    Animate_OpenEx(Animate, instance_, MAKEINTRESOURCEW(BusyClipResource(percent)));
    if (playing) {
        Animate_Play(Animate, 0, -1, -1);
    }
}

void TForm1::FormCreate() {
    // The shell's small icons: the list shows an entry's icon by its index in that list,
    // which the shell shares and owns.
    ListView_SetImageList(ListView, static_cast<HIMAGELIST>(SystemSmallImageList()), LVSIL_SMALL);

    // The window's frame: at least the design's minimum, otherwise 200 design pixels smaller
    // than the screen in each direction, centred, and within what the taskbar leaves free.
    RECT workArea{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) {
        workArea = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    const WindowBounds frame =
        InitialWindowBounds(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                            {workArea.left, workArea.top, workArea.right - workArea.left,
                             workArea.bottom - workArea.top},
                            Scale(635), Scale(475), Scale(200));
    SetWindowPos(Form1, nullptr, frame.Left, frame.Top, frame.Width, frame.Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    // The list takes half the client height; the report view what is left below the
    // splitter and above the two status bars.
    RECT client{};
    GetClientRect(Form1, &client);
    const int clientHeight = client.bottom - client.top;
    const int listHeight = HalfToEven(clientHeight);
    chosenListHeight_ = listHeight;
    browserHeight_ = std::max(0, clientHeight - Scale(TopPanelHeight) - listHeight -
                                     Scale(SplitterHeight) - 2 * Scale(StatusBarHeight));

    ApplyTexts(IsGermanUser());
    SizeHeadline();

    SendMessageW(StatusBar, SB_SIMPLE, TRUE, 0);
    ShowStatusLine(std::string(TextsFor(IsGermanUser()).CreditLine));
    ReadLocaleFormat();
    LayOut();
}

void TForm1::ApplyTexts(bool german) {
    if (!german) {
        return;
    }
    const InterfaceTexts& texts = GermanTexts();
    SetWindowTextW(Form1, Wide(texts.Caption).c_str());
    headline_ = HeadlineText(texts.Headline);
    for (int column = 0; column < 4; ++column) {
        std::wstring header = Wide(texts.Columns[column]);
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT;
        info.pszText = header.data();
        ListView_SetColumn(ListView, column, &info);
    }
    ModifyMenuW(PopupMenu, ShowInExplorerMenuId, MF_BYCOMMAND | MF_STRING, ShowInExplorerMenuId,
                Wide(texts.LocateMenu).c_str());
    ModifyMenuW(PopupMenu, DeleteMenuId, MF_BYCOMMAND | MF_STRING, DeleteMenuId,
                Wide(texts.DeleteMenu).c_str());
}

void TForm1::SizeHeadline() {
    // The headline sizes itself to its text in the window's font.
    HDC dc = GetDC(TopLabel);
    HGDIOBJ old = SelectObject(dc, font_);
    RECT bounds{0, 0, 0, 0};
    DrawTextW(dc, headline_.c_str(), -1, &bounds, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(TopLabel, dc);
    SetWindowTextW(TopLabel, headline_.c_str());
    SetWindowPos(TopLabel, nullptr, Scale(52), Scale(7), bounds.right + 1, bounds.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(TopLabel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

int TForm1::MinimumListHeight() const {
    // The header and the rows, each as tall as its font or a small icon, inside the list's
    // sunken edge and above a horizontal scroll bar.
    RECT header{};
    GetWindowRect(ListView_GetHeader(ListView), &header);
    HDC dc = GetDC(ListView);
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(ListView, dc);
    const int row =
        std::max<int>(metrics.tmHeight + metrics.tmExternalLeading, Scale(16)) + Scale(2);
    return (header.bottom - header.top) + MinimumListRows * row + 2 * GetSystemMetrics(SM_CYEDGE) +
           GetSystemMetrics(SM_CYHSCROLL);
}

int TForm1::Scale(int designPixels) const {
    return MulDiv(designPixels, dpi_, DesignDpi);
}

void TForm1::LayOut() {
    RECT client{};
    GetClientRect(Form1, &client);
    const int width = client.right;
    const int height = client.bottom;
    const int top = Scale(TopPanelHeight);
    const int barHeight = Scale(StatusBarHeight);
    const int splitter = Scale(SplitterHeight);
    // The list takes what the window gains; a loss the list and the report view share.
    const int room = std::max(0, height - top - splitter - 2 * barHeight);
    const PaneHeights panes = SplitListAndReport(
        room, PaneHeights{chosenListHeight_, browserHeight_}, MinimumListHeight());
    const int browser = panes.Report;
    const int list = panes.List;

    HDWP moves = BeginDeferWindowPos(6);
    auto place = [&](HWND control, int y, int h) {
        moves =
            DeferWindowPos(moves, control, nullptr, 0, y, width, h, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(TopPanel, 0, top);
    place(ListView, top, list);
    place(Splitter2, top + list, splitter);
    place(WebBrowser, top + list + splitter, browser);
    place(StatusBar2, height - 2 * barHeight, barHeight);
    place(StatusBar, height - barHeight, barHeight);
    EndDeferWindowPos(moves);

    const int edges[3] = {Scale(TotalsPanelEdges[0]), Scale(TotalsPanelEdges[1]), -1};
    SendMessageW(StatusBar2, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
    FormResize();
}

void TForm1::FormResize() {
    RECT client{};
    GetClientRect(Form1, &client);
    const int width = client.right;
    const int folderWidth = width - ListView_GetColumnWidth(ListView, 0) -
                            ListView_GetColumnWidth(ListView, 2) -
                            ListView_GetColumnWidth(ListView, 3) - 2 * ScrollBarWidth(dpi_);
    ListView_SetColumnWidth(ListView, 1, std::max(folderWidth, Scale(30)));

    RECT button{};
    GetWindowRect(BrowseSpeedButton, &button);
    const int buttonWidth = button.right - button.left;
    RECT clip{};
    GetWindowRect(Animate, &clip);
    const int clipWidth = clip.right - clip.left;
    const int clipHeight = clip.bottom - clip.top;
    SetWindowPos(BrowseSpeedButton, nullptr, width - buttonWidth - Scale(10), Scale(7), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(Animate, nullptr, width - buttonWidth - clipWidth - Scale(25),
                 (Scale(TopPanelHeight) - clipHeight) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TForm1::SelectedRow() const {
    const int row = ListView_GetNextItem(ListView, -1, LVNI_SELECTED);
    return row >= 0 && row < logic_.Engine().List().Count() ? row : -1;
}

void TForm1::ScrollListToTop() {
    if (ListView_GetItemCount(ListView) > 0) {
        ListView_EnsureVisible(ListView, 0, FALSE);
    }
}

void TForm1::CopyText(const std::string& text) {
    const std::wstring wide = Wide(text);
    const SIZE_T bytes = (wide.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) {
        return;
    }
    if (void* target = GlobalLock(memory)) {
        std::memcpy(target, wide.c_str(), bytes);
        GlobalUnlock(memory);
    }
    if (!OpenClipboard(Form1)) {
        GlobalFree(memory);
        return;
    }
    EmptyClipboard();
    // The clipboard owns the memory once it has taken it.
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
        GlobalFree(memory);
    }
    CloseClipboard();
}

void TForm1::FocusRow(int row) {
    if (row >= ListView_GetItemCount(ListView)) {
        // The list view learns the count at the next frame.
        pendingFocusRow_ = row;
        return;
    }
    pendingFocusRow_ = -1;
    if (ListView_GetNextItem(ListView, -1, LVNI_FOCUSED) != row) {
        ListView_SetItemState(ListView, row, LVIS_FOCUSED, LVIS_FOCUSED);
    }
}

void TForm1::SelectRow(int row) {
    ListView_SetItemState(ListView, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (row >= 0 && row >= ListView_GetItemCount(ListView)) {
        // The selected entry moved beyond the count the list view was last given (it
        // follows at the next frame): it gets the list's count now, or it would drop the
        // selection.
        ListView_SetItemCountEx(ListView, logic_.Engine().List().Count(),
                                LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        countPending_ = false;
    }
    if (row >= 0) {
        ListView_SetItemState(ListView, row, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
    }
}

void TForm1::NavigateBlank() {
    if (browser_ != nullptr) {
        browser_->Navigate("about:blank");
        browser_->RepaintNow();
    }
}

void TForm1::Navigate(const std::string& file) {
    // Without the control the window goes on without the page; the file stays written.
    if (browser_ == nullptr) {
        return;
    }
    const HRESULT result = browser_->Navigate(file);
    if (FAILED(result)) {
        throw std::system_error(static_cast<int>(result), WindowsErrorCategory(),
                                FillIn(TextsFor(IsGermanUser()).PageNotShown, file));
    }
}

std::string TForm1::ReportTemplate(std::string_view resourceName) {
    return LoadTextResource(std::string(resourceName));
}

void TForm1::ShowButton(Glyph glyph, const std::string& caption) {
    buttonGlyph_ = glyph == Glyph::Stop ? stopGlyph_ : folderGlyph_;
    buttonCaption_ = Wide(caption);
    SetWindowTextW(BrowseSpeedButton, buttonCaption_.c_str());
    InvalidateRect(BrowseSpeedButton, nullptr, TRUE);
}

void TForm1::MakeBrowseButtonVisible() {
    ShowWindow(BrowseSpeedButton, SW_SHOWNA);
}

void TForm1::StartBusyAnimation() {
    ShowWindow(Animate, SW_SHOWNA);
    Animate_Play(Animate, 0, -1, -1);
}

void TForm1::StopBusyAnimation() {
    ShowWindow(Animate, SW_HIDE);
    Animate_Stop(Animate);
    Animate_Seek(Animate, 0);
}

void TForm1::SetStatusText(const std::string& text) {
    if (holdingBack_) {
        pendingStatus_ = text;
        statusPending_ = true;
        return;
    }
    ShowStatusLine(text);
}

void TForm1::WriteTotalsPanels(const TotalsPanelTexts& texts) {
    if (holdingBack_) {
        pendingTotals_ = texts;
        totalsPending_ = true;
        return;
    }
    ShowTotalsPanels(texts);
}

void TForm1::ShowStatusLine(const std::string& text) {
    SendMessageW(StatusBar, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void TForm1::ShowTotalsPanels(const TotalsPanelTexts& texts) {
    for (int panel = 0; panel < 3; ++panel) {
        SendMessageW(StatusBar2, SB_SETTEXTW, static_cast<WPARAM>(panel),
                     reinterpret_cast<LPARAM>(Wide(texts[static_cast<size_t>(panel)]).c_str()));
    }
}

void TForm1::HoldBackRepaints() {
    // The list's repaints wait; the status bars' new texts are kept until the frame.
    holdingBack_ = true;
    SendMessageW(ListView, WM_SETREDRAW, FALSE, 0);
}

void TForm1::ShowHeldBackRepaints() {
    holdingBack_ = false;
    if (statusPending_) {
        ShowStatusLine(pendingStatus_);
        statusPending_ = false;
    }
    if (totalsPending_) {
        ShowTotalsPanels(pendingTotals_);
        totalsPending_ = false;
    }
    if (countPending_) {
        ListView_SetItemCountEx(ListView, logic_.Engine().List().Count(),
                                LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        countPending_ = false;
    }
    if (pendingFocusRow_ >= 0) {
        FocusRow(pendingFocusRow_);
    }
    SendMessageW(ListView, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(ListView, nullptr, FALSE);
}

void TForm1::CloseWindow() {
    PostMessageW(Form1, WM_CLOSE, 0, 0);
}

void TForm1::ShowErrorMessage(const std::string& message) {
    if (messageBoxHook_) {
        messageBoxHook_(message);
        return;
    }
    wchar_t title[256] = {};
    GetWindowTextW(Form1, title, 256);
    MessageBoxW(Form1, Wide(message).c_str(), title, MB_OK | MB_ICONERROR);
}

void TForm1::FormCloseQuery() {
    if (logic_.FormCloseQuery()) {
        // During a scan the walk unwinds first; the window goes once control is back in
        // the message loop.
        ShowWindow(Form1, SW_HIDE);
        DestroyIfCloseGranted();
    }
}

void TForm1::DestroyIfCloseGranted() {
    if (Form1 != nullptr && logic_.CloseGranted() && !logic_.ScanRunning()) {
        DestroyWindow(Form1);
    }
}

void TForm1::ListChanging(const ListChange& change) {
    if (change.What == ListChange::Kind::Sort) {
        listRowBeforeSort_ = SelectedRow();
    }
}

void TForm1::ListChanged(const ListChange& change) {
    const int count = logic_.Engine().List().Count();
    // The cell under the mouse may hold another entry now.
    if (tipRow_ >= 0) {
        HideCellTip();
        tipRow_ = -1;
        tipColumn_ = -1;
    }
    switch (change.What) {
    case ListChange::Kind::Clear:
        SelectRow(-1);
        pendingFocusRow_ = -1;
        ListView_SetItemCountEx(ListView, 0, 0);
        break;
    case ListChange::Kind::Append:
        SetListCount(count);
        break;
    case ListChange::Kind::Remove: {
        // The list view keeps its selection by row: it follows the entries by hand.
        const int selected = ListView_GetNextItem(ListView, -1, LVNI_SELECTED);
        SetListCount(count);
        if (selected == change.Row) {
            SelectRow(-1);
        } else if (selected > change.Row) {
            followingSelection_ = true;
            SelectRow(selected - 1);
            followingSelection_ = false;
        }
        InvalidateList();
        break;
    }
    case ListChange::Kind::Sort:
        if (listRowBeforeSort_ >= 0 && change.NewRowOfOldRow != nullptr &&
            listRowBeforeSort_ < static_cast<int>(change.NewRowOfOldRow->size())) {
            followingSelection_ = true;
            SelectRow((*change.NewRowOfOldRow)[static_cast<size_t>(listRowBeforeSort_)]);
            followingSelection_ = false;
        }
        listRowBeforeSort_ = -1;
        InvalidateList();
        break;
    case ListChange::Kind::Update:
        if (!holdingBack_) {
            ListView_RedrawItems(ListView, change.Row, change.Row);
        }
        break;
    }
}

void TForm1::SetListCount(int count) {
    // A new count makes the list view lay out its scroll bar and header, which goes through
    // the window system each time; while repaints are held back only the frame's count
    // matters. The rows beyond the list's own end are never drawn or read before then.
    if (holdingBack_) {
        countPending_ = true;
        return;
    }
    ListView_SetItemCountEx(ListView, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void TForm1::InvalidateList() {
    // While repaints are held back the next frame repaints the whole list anyway: an
    // invalidation now would paint it (and its header) at the next processing already.
    if (!holdingBack_) {
        InvalidateRect(ListView, nullptr, FALSE);
    }
}

void TForm1::FillDisplayInfo(NMLVDISPINFOW& info) {
    LVITEMW& item = info.item;
    const ResultList& list = logic_.Engine().List();
    if (item.iItem < 0 || item.iItem >= list.Count()) {
        return;
    }
    const ResultEntry& entry = list.At(item.iItem);
    if ((item.mask & LVIF_IMAGE) != 0) {
        item.iImage = entry.IconIndex;
    }
    if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr) {
        const std::string* texts[4] = {&entry.Caption, &entry.FolderText, &entry.SizeText,
                                       &entry.DateText};
        const std::string& text = *texts[std::clamp(item.iSubItem, 0, 3)];
        displayText_ = Wide(text);
        if (item.cchTextMax > static_cast<int>(displayText_.size())) {
            std::copy(displayText_.begin(), displayText_.end(), item.pszText);
            item.pszText[displayText_.size()] = L'\0';
        } else {
            // Longer than the control's buffer: it may read ours instead, which lives until
            // the next request.
            item.pszText = displayText_.data();
        }
    }
}

LRESULT TForm1::HandleListNotify(NMHDR* header) {
    switch (header->code) {
    case LVN_GETDISPINFOW:
        FillDisplayInfo(*reinterpret_cast<NMLVDISPINFOW*>(header));
        return 0;
    case LVN_ITEMCHANGED: {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
        if (!followingSelection_ && (change->uChanged & LVIF_STATE) != 0 &&
            ((change->uOldState ^ change->uNewState) & LVIS_SELECTED) != 0) {
            logic_.ListViewSelectionChanged();
        }
        return 0;
    }
    case NM_CLICK:
        ListViewClick();
        return 0;
    case NM_DBLCLK:
        ListViewDblClick();
        return 0;
    default:
        return 0;
    }
}

void TForm1::ShowPopupMenu(POINT screenPoint) {
    if (screenPoint.x == -1 && screenPoint.y == -1) {
        // From the keyboard: under the selected row, or the list's corner.
        RECT row{};
        const int selected = SelectedRow();
        if (selected >= 0 && ListView_GetItemRect(ListView, selected, &row, LVIR_LABEL)) {
            screenPoint = {row.left, row.bottom};
        } else {
            screenPoint = {0, 0};
        }
        ClientToScreen(ListView, &screenPoint);
    }
    TrackPopupMenu(PopupMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screenPoint.x,
                   screenPoint.y, 0, Form1, nullptr);
}

void TForm1::DrawBrowseButton(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT bounds = item.rcItem;
    FillRect(dc, &bounds, GetSysColorBrush(COLOR_BTNFACE));
    if ((item.itemState & ODS_SELECTED) != 0) {
        DrawEdge(dc, &bounds, BDR_SUNKENOUTER, BF_RECT);
    }
    HIMAGELIST glyph = buttonGlyph_;
    HGDIOBJ oldFont = SelectObject(dc, font_);
    RECT textSize{0, 0, 0, 0};
    DrawTextW(dc, buttonCaption_.c_str(), -1, &textSize, DT_CALCRECT | DT_SINGLELINE);
    const int gap = glyph != nullptr ? Scale(4) : 0;
    int glyphWidth = 0;
    int glyphHeight = 0;
    if (glyph != nullptr) {
        ImageList_GetIconSize(glyph, &glyphWidth, &glyphHeight);
    }
    const int contentWidth = glyphWidth + gap + textSize.right;
    const int pressed = (item.itemState & ODS_SELECTED) != 0 ? 1 : 0;
    int x = bounds.left + (bounds.right - bounds.left - contentWidth) / 2 + pressed;
    if (glyph != nullptr) {
        ImageList_Draw(glyph, 0, dc, x,
                       bounds.top + (bounds.bottom - bounds.top - glyphHeight) / 2 + pressed,
                       ILD_TRANSPARENT);
        x += glyphWidth + gap;
    }
    RECT text{x, bounds.top + pressed, bounds.right, bounds.bottom + pressed};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, buttonCaption_.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    SelectObject(dc, oldFont);
}

void TForm1::ChangeDpi(int newDpi, const RECT* suggested) {
    const int oldDpi = dpi_;
    dpi_ = newDpi;
    for (int column = 0; column < 4; ++column) {
        ListView_SetColumnWidth(ListView, column,
                                MulDiv(ListView_GetColumnWidth(ListView, column), newDpi, oldDpi));
    }
    browserHeight_ = MulDiv(browserHeight_, newDpi, oldDpi);
    chosenListHeight_ = MulDiv(chosenListHeight_, newDpi, oldDpi);
    ApplyFonts();
    LoadPictures();
    SetWindowPos(AppImage, nullptr, Scale(7), Scale(7), Scale(32), Scale(32),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(BrowseSpeedButton, nullptr, 0, 0, Scale(ButtonWidth), Scale(ButtonHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SizeHeadline();
    if (suggested != nullptr) {
        SetWindowPos(Form1, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LayOut();
}

void TForm1::MoveSplitter(int cursorY) {
    // cursorY: the cursor in the window's client coordinates, where the splitter's top goes.
    RECT client{};
    GetClientRect(Form1, &client);
    const int bottom = client.bottom - 2 * Scale(StatusBarHeight);
    const int top = Scale(TopPanelHeight);
    const int splitterTop = std::clamp(cursorY, top, std::max(top, bottom - Scale(SplitterHeight)));
    browserHeight_ = std::max(0, bottom - splitterTop - Scale(SplitterHeight));
    chosenListHeight_ = splitterTop - top;
    LayOut();
}

void TForm1::ReadLocaleFormat() {
    logic_.Engine().SetLocaleFormat(ReadWindowsLocaleFormat());
    FitValueColumnsToFont();
}

void TForm1::FitValueColumnsToFont() {
    // The design widths suit a narrow dialog font. With a wider font, or the user's long
    // date format, the size and date texts, the very figures the list is for, would be cut
    // short; those two columns grow to hold a long example of each and never shrink.
    const std::wstring samples[2] = {
        Wide(SizeText(99'999'999'999ULL) + std::string(EnglishTexts().SizeSuffix)),
        Wide(DateColumnText(LocalDateTime{2026, 12, 28, 22, 58, 58}, logic_.Engine().Locale()))};
    HDC dc = GetDC(ListView);
    HGDIOBJ old = SelectObject(dc, font_);
    for (int i = 0; i < 2; ++i) {
        SIZE extent{};
        GetTextExtentPoint32W(dc, samples[i].c_str(), static_cast<int>(samples[i].size()), &extent);
        const int column = 2 + i;
        const int needed = extent.cx + Scale(16);
        if (ListView_GetColumnWidth(ListView, column) < needed) {
            ListView_SetColumnWidth(ListView, column, needed);
        }
    }
    SelectObject(dc, old);
    ReleaseDC(ListView, dc);
}

void TForm1::SetMessageBoxHook(std::function<void(const std::string&)> hook) {
    messageBoxHook_ = std::move(hook);
}

bool TForm1::PreviewKey(const MSG& message) {
    // F10 arrives as a system key (it would open a menu bar); Shift+F10 opens the list's
    // context menu.
    const bool keyDown = message.message == WM_KEYDOWN ||
                         (message.message == WM_SYSKEYDOWN && message.wParam == VK_F10);
    if (!keyDown) {
        return false;
    }
    TForm1* form = FormOf(message.hwnd);
    if (form == nullptr) {
        return false;
    }
    unsigned held = MainWindowLogic::NoModifier;
    held |= GetKeyState(VK_SHIFT) < 0 ? MainWindowLogic::ShiftModifier : 0U;
    held |= GetKeyState(VK_CONTROL) < 0 ? MainWindowLogic::ControlModifier : 0U;
    held |= GetKeyState(VK_MENU) < 0 ? MainWindowLogic::AltModifier : 0U;
    // The keys the window takes do not reach the focused control; the others do.
    return form->logic_.FormKeyDown(static_cast<int>(message.wParam), held);
}

bool TForm1::PumpPendingMessages() {
    DestroyIfCloseGranted();
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The program ends once the walk has unwound: the main loop must see it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        if (PreviewKey(message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DestroyIfCloseGranted();
    return true;
}

int TForm1::RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!PreviewKey(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        DestroyIfCloseGranted();
    }
    return static_cast<int>(message.wParam);
}

LRESULT CALLBACK TForm1::FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr || form->Form1 == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return form->HandleFormMessage(message, wParam, lParam);
}

LRESULT TForm1::HandleFormMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        LayOut();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(Form1, &paint);
        EndPaint(Form1, &paint);
        if (!firstPaintSeen_) {
            firstPaintSeen_ = true;
            // Painting must not start the walk: it repaints the window from inside.
            PostMessageW(Form1, FirstPaintMessage, 0, 0);
        }
        return 0;
    }
    case FirstPaintMessage:
        FormPaint();
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->hwndFrom == ListView) {
            return HandleListNotify(header);
        }
        break;
    }
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == ListView) {
            ShowPopupMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        }
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case ShowInExplorerMenuId:
            ShowInExplorerPopupmenuClick();
            return 0;
        case DeleteMenuId:
            DeletePopupmenuClick();
            return 0;
        default:
            break;
        }
        break;
    case WM_KEYDOWN:
        FormKeyDown(wParam);
        return 0;
    case WM_CLOSE:
        FormCloseQuery();
        return 0;
    case WM_DESTROY:
        FormClose();
        browser_.reset();
        SetWindowLongPtrW(Form1, GWLP_USERDATA, 0);
        Form1 = nullptr;
        PostQuitMessage(0);
        return 0;
    case WM_SETTINGCHANGE:
        if (lParam != 0 && wcscmp(reinterpret_cast<const wchar_t*>(lParam), L"intl") == 0) {
            logic_.RunGuarded([this] {
                ReadLocaleFormat();
                FormResize();
            });
        }
        break;
    case WM_DPICHANGED:
        ChangeDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = {Scale(320), Scale(240)};
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(Form1, message, wParam, lParam);
}

bool TForm1::HandlePanelMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == BrowseButtonId && HIWORD(wParam) == BN_CLICKED) {
            BrowseSpeedButtonClick();
            result = 0;
            return true;
        }
        if (LOWORD(wParam) == AppImageId && HIWORD(wParam) == STN_CLICKED) {
            AppImageClick();
            result = 0;
            return true;
        }
        return false;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->hwndItem == BrowseSpeedButton) {
            DrawBrowseButton(*item);
            result = TRUE;
            return true;
        }
        return false;
    }
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == AppImage) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            result = TRUE;
            return true;
        }
        return false;
    default:
        return false;
    }
}

LRESULT CALLBACK TForm1::PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    LRESULT result = 0;
    if (form != nullptr && form->HandlePanelMessage(message, wParam, lParam, result)) {
        return result;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK TForm1::SplitterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_LBUTTONDOWN:
        if (form != nullptr) {
            form->splitterGrab_ = GET_Y_LPARAM(lParam);
            SetCapture(window);
        }
        return 0;
    case WM_MOUSEMOVE:
        if (form != nullptr && form->splitterGrab_ >= 0 && GetCapture() == window) {
            POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            MapWindowPoints(window, form->Form1, &point, 1);
            form->MoveSplitter(point.y - form->splitterGrab_);
        }
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (form != nullptr) {
            form->splitterGrab_ = -1;
        }
        if (message == WM_LBUTTONUP) {
            ReleaseCapture();
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT bounds{};
        GetClientRect(window, &bounds);
        FillRect(dc, &bounds, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &bounds, BDR_RAISEDINNER, BF_TOP | BF_BOTTOM);
        EndPaint(window, &paint);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK TForm1::BrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_SIZE && form != nullptr && form->browser_ != nullptr) {
        RECT area{0, 0, LOWORD(lParam), HIWORD(lParam)};
        form->browser_->SetBounds(area);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
