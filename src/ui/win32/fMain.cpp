#include "ui/win32/fMain.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "ui/win32/message_box.h"
#include "ui/win32/resource.h"
#include "ui/win32/toolbar_pictures.h"

namespace tarnwell::win32 {
namespace {

constexpr char kWindowClass[] = "TarnwellMain";
constexpr int kToolBarHeight = 29;  // pixels at 96 dpi
// A help request's position notice: where the request came from, before the request itself.
constexpr std::uint16_t kHelpPositionNotice = 13;

int Scaled(HWND window, int pixels) {
    HDC dc = GetDC(window);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(window, dc);
    return MulDiv(pixels, dpi, 96);
}

HFONT MessageFont() {
    static HFONT font = [] {
        NONCLIENTMETRICSA metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        return CreateFontIndirectA(&metrics.lfMessageFont);
    }();
    return font;
}

bool KeyDown(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

}  // namespace

TfrmMain::TfrmMain(WorkerContext context, HelpRequestServices help, UpdateSource updates)
    : context_(context), help_(std::move(help)) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TfrmMain::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TARNWELL));
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExA(&windowClass);  // fails harmlessly when registered already
    window_ = CreateWindowExA(WS_EX_CONTROLPARENT, kWindowClass, kMainWindowCaption,
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                              LoadMenuA(instance, MAKEINTRESOURCEA(IDR_MAIN_MENU)), instance, this);
    if (window_ == nullptr) throw std::runtime_error("Cannot create the main window");
    frmProxySettings_ = std::make_unique<TfrmProxySettings>(window_);
    frmAbout_ = std::make_unique<TfrmAbout>(window_, *frmProxySettings_, std::move(updates));
}

TfrmMain::~TfrmMain() {
    StopAllWatches();
    pages_.clear();
    if (IsWindow(window_)) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (imlActionBar_ != nullptr) ImageList_Destroy(imlActionBar_);
}

LRESULT CALLBACK TfrmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        auto* self = static_cast<TfrmMain*>(create->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TfrmMain*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    bool handled = false;
    Guarded([&] {
        result = self->HandleMessage(message, wParam, lParam);
        handled = true;
    });
    return handled ? result : 0;
}

void TfrmMain::CreateControls() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    ToolBar1 = CreateWindowExA(
        0, TOOLBARCLASSNAMEA, nullptr,
        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | CCS_NORESIZE | CCS_NODIVIDER | CCS_NOPARENTALIGN, 0,
        0, 0, 0, window_, nullptr, instance, nullptr);
    SendMessageA(ToolBar1, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    imlActionBar_ = MakeActionBarImages(Scaled(window_, 16));
    SendMessageA(ToolBar1, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(imlActionBar_));
    // Pictures only: no captions, no tool tips.
    TBBUTTON buttons[3] = {};
    const int commands[] = {IDM_TBBNEW, IDM_TBBSTART, IDM_TBBSTOP};
    for (int i = 0; i < 3; ++i) {
        buttons[i].iBitmap = i;
        buttons[i].idCommand = commands[i];
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = BTNS_BUTTON;
        buttons[i].iString = -1;
    }
    SendMessageA(ToolBar1, TB_ADDBUTTONSA, 3, reinterpret_cast<LPARAM>(buttons));

    ftcScreens_ = CreateWindowExA(WS_EX_CONTROLPARENT, WC_TABCONTROLA, nullptr,
                                  WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0,
                                  0, 0, window_, nullptr, instance, nullptr);
    SendMessageA(ftcScreens_, WM_SETFONT, reinterpret_cast<WPARAM>(MessageFont()), FALSE);
    // No panels and no text; nothing ever writes to it.
    StatusBar1 =
        CreateWindowExA(0, STATUSCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0,
                        0, 0, window_, nullptr, instance, nullptr);
}

void TfrmMain::LayOut() {
    RECT client;
    GetClientRect(window_, &client);
    const int toolBar = Scaled(window_, kToolBarHeight);
    MoveWindow(ToolBar1, 0, 0, client.right, toolBar, TRUE);
    SendMessageA(StatusBar1, WM_SIZE, 0, 0);
    RECT status;
    GetWindowRect(StatusBar1, &status);
    const int statusHeight = status.bottom - status.top;
    const int tabHeight = client.bottom - toolBar - statusHeight;
    MoveWindow(ftcScreens_, 0, toolBar, client.right, tabHeight > 0 ? tabHeight : 0, TRUE);
    RECT display;
    GetClientRect(ftcScreens_, &display);
    TabCtrl_AdjustRect(ftcScreens_, FALSE, &display);
    for (const auto& page : pages_)
        MoveWindow(page->Handle(), display.left, display.top, display.right - display.left,
                   display.bottom - display.top, TRUE);
}

void TfrmMain::Show(int showCommand) {
    ShowWindow(window_, showCommand);
    if (shown_) return;
    shown_ = true;
    commands_.FormShow();
    // The window took its first size before it had a page; now that it has
    // one, it grows to show the page whole (a larger size is kept).
    const SIZE page = PageWindow(0).DesignSize();
    RECT tab{0, 0, page.cx, page.cy};
    TabCtrl_AdjustRect(ftcScreens_, TRUE, &tab);
    RECT status;
    GetWindowRect(StatusBar1, &status);
    RECT wanted{
        0, 0, tab.right - tab.left,
        (tab.bottom - tab.top) + Scaled(window_, kToolBarHeight) + (status.bottom - status.top)};
    AdjustWindowRectEx(&wanted, WS_OVERLAPPEDWINDOW, TRUE, WS_EX_CONTROLPARENT);
    RECT now;
    GetWindowRect(window_, &now);
    const int width = std::max<int>(now.right - now.left, wanted.right - wanted.left);
    const int height = std::max<int>(now.bottom - now.top, wanted.bottom - wanted.top);
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    UpdateWindow(window_);
}

LRESULT TfrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            CreateControls();
            return 0;
        case WM_SIZE:
            LayOut();
            return 0;
        case WM_COMMAND:
            Command(LOWORD(wParam));
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == ftcScreens_ && header->code == TCN_SELCHANGE)
                Activate(TabCtrl_GetCurSel(ftcScreens_));
            return 0;
        }
        case WM_HELP: {
            // F1 with a menu open: menu items carry no context.
            const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
            DisplayHelp(kHelpContextCommand, info->iContextType == HELPINFO_MENUITEM
                                                 ? kMenuContext
                                                 : kMainWindowContext);
            return TRUE;
        }
        case WM_DPICHANGED: {
            // Moved to a screen of another scale: the system's suggested
            // frame keeps the window's size in the eye of the user.
            const auto* frame = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window_, nullptr, frame->left, frame->top, frame->right - frame->left,
                         frame->bottom - frame->top, SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_CLOSE:
            // Closing the main window ends the run, and no watch outlives the run.
            StopAllWatches();
            // A log file whose last lines could not be written says so before
            // the program goes, or the user would never learn of it.
            for (const auto& page : pages_) page->WaitForLogFailureNotice();
            DestroyWindow(window_);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window_, message, wParam, lParam);
    }
}

void TfrmMain::Command(int id) {
    switch (id) {
        case IDM_TBBNEW:
            commands_.tbbNewClick();
            break;
        case IDM_TBBSTART:
            commands_.tbbStartClick();
            break;
        case IDM_TBBSTOP:
            commands_.tbbStopClick();
            break;
        case IDM_NEWWINDOW1:
            commands_.NewWindow1Click();
            break;
        case IDM_EXIT1:
            commands_.Exit1Click();
            break;
        case IDM_COPYRESULTSTOCLIPBOARD1:
            commands_.CopyResultstoClipboard1Click();
            break;
        case IDM_CLEARRESULTSLIST1:
            commands_.ClearResultsList1Click();
            break;
        case IDM_TARNWELLHELP1:
            commands_.TarnwellHelp1Click();
            break;
        case IDM_ABOUT1:
            commands_.About1Click();
            break;
        default:
            break;
    }
}

bool TfrmMain::FilterKey(const MSG& message) {
    if (message.message != WM_KEYDOWN) return false;
    if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
    if (message.wParam == VK_TAB && KeyDown(VK_CONTROL) && !KeyDown(VK_MENU)) {
        // Ctrl+Tab and Ctrl+Shift+Tab step to the neighbouring page; they stop at the ends.
        Guarded([&] { commands_.StepPage(KeyDown(VK_SHIFT) ? -1 : 1); });
        return true;
    }
    if (message.wParam == VK_F1 && !KeyDown(VK_CONTROL) && !KeyDown(VK_SHIFT) &&
        !KeyDown(VK_MENU)) {
        if ((message.lParam & (1 << 30)) != 0) return true;  // a held key asks once
        RECT corner;
        GetWindowRect(window_, &corner);
        const auto position =
            static_cast<std::uint32_t>(((corner.top & 0xFFFF) << 16) | (corner.left & 0xFFFF));
        Guarded([&] {
            DisplayHelp(kHelpPositionNotice, position);
            DisplayHelp(kHelpContextCommand, kMainWindowContext);
        });
        return true;
    }
    return false;
}

WatchPage& TfrmMain::AppendPage() {
    auto page = std::make_unique<TfrmWatcher>(ftcScreens_, context_);
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = const_cast<char*>(kNewWatchCaption);
    item.lParam = reinterpret_cast<LPARAM>(page->Handle());
    const int count = TabCtrl_GetItemCount(ftcScreens_);
    if (SendMessageA(ftcScreens_, TCM_INSERTITEMA, count, reinterpret_cast<LPARAM>(&item)) < 0)
        throw std::runtime_error("Cannot add a tab");
    pages_.push_back(std::move(page));
    LayOut();
    return pages_.back()->Logic();
}

int TfrmMain::ActiveIndex() const {
    return TabCtrl_GetCurSel(ftcScreens_);
}

void TfrmMain::Activate(int index) {
    TabCtrl_SetCurSel(ftcScreens_, index);
    // The others are hidden, but their watches go on.
    for (int i = 0; i < PageCount(); ++i)
        ShowWindow(PageWindow(i).Handle(), i == index ? SW_SHOW : SW_HIDE);
    if (IsWindowVisible(window_) && index >= 0 && index < PageCount())
        SetFocus(PageWindow(index).Control(IDC_CBOPATH));
}

void TfrmMain::Close() {
    SendMessageA(window_, WM_CLOSE, 0, 0);
}

void TfrmMain::SetClipboardText(const std::string& text) {
    // Lines end in CR LF on the Windows clipboard.
    std::string lines;
    lines.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    if (!OpenClipboard(window_)) throw std::runtime_error("Cannot open the clipboard");
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, lines.size() + 1);
    bool placed = false;
    if (memory != nullptr) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, lines.c_str(), lines.size() + 1);
            GlobalUnlock(memory);
            placed = SetClipboardData(CF_TEXT, memory) != nullptr;
        }
        if (!placed) GlobalFree(memory);
    }
    CloseClipboard();
    if (!placed) throw std::runtime_error("Cannot put the results on the clipboard");
}

void TfrmMain::DisplayHelp(std::uint16_t command, std::uint32_t data) {
    help_.DisplayHelp(command, data);
}

void TfrmMain::ShowAbout() {
    frmAbout_->ShowModal();
}

}  // namespace tarnwell::win32
