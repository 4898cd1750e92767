#include "ui/win32/fWatcher.h"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "ui/app_constants.h"
#include "ui/results_columns.h"
#include "ui/win32/message_box.h"
#include "ui/win32/message_loop.h"
#include "ui/win32/resource.h"
#include "ui/win32/window_helpers.h"

namespace tarnwell::win32 {
namespace {

constexpr UINT_PTR kTimer1 = 1;

// In the order the settings are switched; the arrows of "Maximum Lines :" and
// the browse button of the log name belong to their fields.
constexpr int kSettingsControls[] = {
    IDC_CBOPATH,
    IDC_CMDBROWSE,
    IDC_CHKINCLUDESUB,
    IDC_CHKFLAGCREATEFILE,
    IDC_CHKFLAGLASTACCESS,
    IDC_CHKFLAGCREATIONTIME,
    IDC_CHKFLAGLASTWRITE,
    IDC_CHKFLAGCREATEDIR,
    IDC_CHKFLAGSECURITY,
    IDC_CHKFLAGATTRIBUTES,
    IDC_CHKFLAGFILESIZE,
    IDC_CHKOUTPUTTOSCREEN,
    IDC_TXTMAXLINES,
    IDC_MAXLINES_SPIN,
    IDC_CHKAUTOSCROLL,
    IDC_CHKOUTPUTTOFILE,
    IDC_TXTOUTPUTFILENAME,
    IDC_TXTOUTPUTFILENAME_BROWSE,
    IDC_OPTCSV,
    IDC_OPTTAB,
};

// Grows a warning's text to the lines it takes at its width, as a message
// box does, and the box with it; the OK button moves down below the text.
void FitWarningToText(HWND box) {
    HWND label = GetDlgItem(box, IDC_NOTICE_TEXT);
    RECT place;
    GetWindowRect(label, &place);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&place), 2);
    const int height = WrappedTextHeight(label, place.right - place.left);
    const int grow = height - (place.bottom - place.top);
    if (grow <= 0) return;
    SetWindowPos(label, nullptr, 0, 0, place.right - place.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND ok = GetDlgItem(box, IDOK);
    RECT button;
    GetWindowRect(ok, &button);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&button), 2);
    SetWindowPos(ok, nullptr, button.left, button.top + grow, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT outer;
    GetWindowRect(box, &outer);
    // Still centred where it was.
    SetWindowPos(box, nullptr, outer.left, outer.top - grow / 2, outer.right - outer.left,
                 outer.bottom - outer.top + grow, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK WarningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        // Made whole before it is first shown.
        SetWindowTextA(dialog, AppConstants::kProductName);
        SetDlgItemTextA(dialog, IDC_NOTICE_TEXT, reinterpret_cast<const char*>(lParam));
        SendDlgItemMessageA(dialog, IDC_NOTICE_ICON, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIcon(nullptr, IDI_WARNING)), 0);
        FitWarningToText(dialog);
        return TRUE;
    }
    if ((message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) ||
        message == WM_CLOSE) {
        RemoveDialogWindow(dialog);
        DestroyWindow(dialog);
        return TRUE;
    }
    return FALSE;
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM /*lParam*/, LPARAM data) {
    const auto* folder = reinterpret_cast<const std::string*>(data);
    if (message == BFFM_INITIALIZED && !folder->empty())
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder->c_str()));
    return 0;
}

}  // namespace

TfrmWatcher::TfrmWatcher(HWND tabArea, WorkerContext context) : context_(context) {
    logic_ = std::make_unique<WatchPage>(*this, context);
    window_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_WATCHER), tabArea,
                                 &TfrmWatcher::DialogProc, reinterpret_cast<LPARAM>(this));
    if (window_ == nullptr) throw std::runtime_error("Cannot create a watch page");
    AddDialogWindow(window_);
}

TfrmWatcher::~TfrmWatcher() {
    // The worker must not outlive the page it reports to.
    logic_.reset();
    for (HWND box : {logFailureBox_, watchNoticeBox_}) {
        if (box != nullptr && IsWindow(box)) {
            RemoveDialogWindow(box);
            DestroyWindow(box);
        }
    }
    RemoveDialogWindow(window_);
    DestroyWindow(window_);
}

SIZE TfrmWatcher::DesignSize() const {
    RECT design{0, 0, 509, 292};
    MapDialogRect(window_, &design);
    return SIZE{design.right, design.bottom};
}

INT_PTR CALLBACK TfrmWatcher::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<TfrmWatcher*>(lParam);
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        self->window_ = dialog;
        self->InitControls();
        return FALSE;
    }
    auto* self = reinterpret_cast<TfrmWatcher*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (self == nullptr) return FALSE;
    INT_PTR result = FALSE;
    Guarded([&] { result = self->HandleMessage(message, wParam, lParam); });
    return result;
}

void TfrmWatcher::InitControls() {
    for (const int id : {IDC_CHKOUTPUTTOSCREEN, IDC_CHKFLAGCREATEFILE, IDC_OPTCSV})
        CheckDlgButton(window_, id, BST_CHECKED);
    SendDlgItemMessageA(window_, IDC_MAXLINES_SPIN, UDM_SETRANGE32, 0, kMaxLinesMaximum);
    SendDlgItemMessageA(window_, IDC_MAXLINES_SPIN, UDM_SETPOS32, 0, kMaxLinesDefault);

    HWND list = Control(IDC_LVWRESULTS);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    // The widths are pixels at 96 dpi; a scaled page scales them too.
    HDC screen = GetDC(window_);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(window_, screen);
    for (std::size_t column = 0; column < kResultColumns.size(); ++column) {
        LVCOLUMNA item{};
        item.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        item.pszText = const_cast<char*>(kResultColumns[column].title);
        item.cx = MulDiv(kResultColumns[column].width, dpi, 96);
        item.iSubItem = static_cast<int>(column);
        SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&item));
    }
    FitColumns();
    // The header keeps its order: no dragging of columns.
    HWND header = ListView_GetHeader(list);
    SetWindowLongPtrA(header, GWL_STYLE, GetWindowLongPtrA(header, GWL_STYLE) & ~HDS_DRAGDROP);

    RECT page, listRect;
    GetClientRect(window_, &page);
    GetWindowRect(list, &listRect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&listRect), 2);
    listMargins_ = RECT{listRect.left, listRect.top, page.right - listRect.right,
                        page.bottom - listRect.bottom};
}

void TfrmWatcher::FitColumns() {
    // The stamps are written with the run's settings, so they are measured
    // with them too; the owner shown most is the user's own, as of the
    // profile folder.
    char profile[MAX_PATH] = {};
    GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
    const std::string owner =
        profile[0] != '\0' ? context_.services.files.FactsOf(profile).owner : "";
    const auto fits = ResultsColumnFits(context_.services.regional, owner);

    HWND list = Control(IDC_LVWRESULTS);
    // The list's own margin on either side of a cell's text, and a little air.
    const int padding = 2 * GetSystemMetrics(SM_CXEDGE) + 12 + ListView_GetStringWidth(list, "0");
    for (int column = 0; column < static_cast<int>(fits.size()); ++column) {
        int width =
            ListView_GetStringWidth(list, kResultColumns[static_cast<std::size_t>(column)].title) +
            padding;
        for (const std::string& text : fits[static_cast<std::size_t>(column)].texts)
            width = std::max(width, ListView_GetStringWidth(list, text.c_str()) + padding);
        if (fits[static_cast<std::size_t>(column)].takesRest) {
            // Room for a useful part of a path even in a narrow window.
            restMinimum_ = std::max(width, ListView_GetColumnWidth(list, column));
            width = restMinimum_;
        }
        ListView_SetColumnWidth(list, column, width);
    }
    userSizedColumns_ = false;
}

void TfrmWatcher::FillRestColumn() {
    if (userSizedColumns_) return;
    HWND list = Control(IDC_LVWRESULTS);
    RECT client;
    GetClientRect(list, &client);
    int others = 0;
    for (int column = 0; column < static_cast<int>(kResultColumns.size()); ++column)
        if (column != 1) others += ListView_GetColumnWidth(list, column);
    ListView_SetColumnWidth(list, 1, std::max<int>(restMinimum_, client.right - others));
}

void TfrmWatcher::LayOut() {
    // Only the list grows and shrinks with the page; the groups keep their places.
    RECT page;
    GetClientRect(window_, &page);
    const int width = page.right - listMargins_.left - listMargins_.right;
    const int height = page.bottom - listMargins_.top - listMargins_.bottom;
    MoveWindow(Control(IDC_LVWRESULTS), listMargins_.left, listMargins_.top, width > 0 ? width : 0,
               height > 0 ? height : 0, TRUE);
    FillRestColumn();
}

INT_PTR TfrmWatcher::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_TIMER:
            if (wParam == kTimer1) logic_->TimerTick();
            return TRUE;
        case WM_SIZE:
            LayOut();
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            // A column the user sized keeps its width; File Name stops filling the rest.
            if (header->code == HDN_ENDTRACKA || header->code == HDN_ENDTRACKW ||
                header->code == HDN_DIVIDERDBLCLICKA || header->code == HDN_DIVIDERDBLCLICKW) {
                userSizedColumns_ = true;
                return FALSE;
            }
            if (header->idFrom == IDC_LVWRESULTS && header->code == LVN_ENDLABELEDITA) {
                // The time stamp may be edited in place; only what is shown changes.
                const auto* edit = reinterpret_cast<const NMLVDISPINFOA*>(lParam);
                SetWindowLongPtrA(window_, DWLP_MSGRESULT, edit->item.pszText != nullptr);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

void TfrmWatcher::Command(int id, int code) {
    switch (id) {
        case IDC_CMDSTART:
            if (code == BN_CLICKED) logic_->StartWatch();
            break;
        case IDC_CMDSTOP:
            if (code == BN_CLICKED) logic_->StopWatch();
            break;
        case IDC_LMDBUTTON1:
            if (code == BN_CLICKED) logic_->Clear();
            break;
        case IDC_CMDBROWSE:
            if (code == BN_CLICKED) cmdBrowseClick();
            break;
        case IDC_TXTOUTPUTFILENAME_BROWSE:
            if (code == BN_CLICKED) txtOutputFileNameBrowseClick();
            break;
        case IDC_TXTMAXLINES:
            if (code == EN_KILLFOCUS) {
                // A number beyond the range, or none, becomes the nearer bound.
                const std::string text = Text(IDC_TXTMAXLINES);
                const std::string value = std::to_string(MaxLinesValue(text));
                if (text != value) SetDlgItemTextA(window_, IDC_TXTMAXLINES, value.c_str());
            }
            break;
        default:
            break;
    }
}

void TfrmWatcher::cmdBrowseClick() {
    char chosen[MAX_PATH] = {};
    BROWSEINFOA info{};
    info.hwndOwner = window_;
    info.pszDisplayName = chosen;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = &BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&lastBrowseFolder_);
    if (PIDLIST_ABSOLUTE folder = SHBrowseForFolderA(&info)) {
        char path[MAX_PATH] = {};
        if (SHGetPathFromIDListA(folder, path)) lastBrowseFolder_ = path;
        CoTaskMemFree(folder);
    }
    // After Cancel too: the folder of the last confirmed browse, or nothing.
    SetDlgItemTextA(window_, IDC_CBOPATH, lastBrowseFolder_.c_str());
}

void TfrmWatcher::txtOutputFileNameBrowseClick() {
    std::vector<char> file(32768, '\0');
    const std::string current = Text(IDC_TXTOUTPUTFILENAME);
    current.copy(file.data(), file.size() - 1);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    // No question before an existing file is chosen; no read-only box.
    dialog.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
    if (GetSaveFileNameA(&dialog)) SetDlgItemTextA(window_, IDC_TXTOUTPUTFILENAME, file.data());
}

bool TfrmWatcher::Checked(int id) const {
    return IsDlgButtonChecked(window_, id) == BST_CHECKED;
}

std::string TfrmWatcher::Text(int id) const {
    return WindowText(Control(id));
}

WatchPageSettings TfrmWatcher::ReadSettings() const {
    WatchPageSettings settings;
    settings.path = Text(IDC_CBOPATH);
    settings.includeSubdirectories = Checked(IDC_CHKINCLUDESUB);
    Activities& activities = settings.activities;
    activities.createFile = Checked(IDC_CHKFLAGCREATEFILE);
    activities.lastAccess = Checked(IDC_CHKFLAGLASTACCESS);
    activities.creationTime = Checked(IDC_CHKFLAGCREATIONTIME);
    activities.lastWrite = Checked(IDC_CHKFLAGLASTWRITE);
    activities.createDir = Checked(IDC_CHKFLAGCREATEDIR);
    activities.security = Checked(IDC_CHKFLAGSECURITY);
    activities.attributes = Checked(IDC_CHKFLAGATTRIBUTES);
    activities.fileSize = Checked(IDC_CHKFLAGFILESIZE);
    settings.outputToScreen = Checked(IDC_CHKOUTPUTTOSCREEN);
    settings.outputToFile = Checked(IDC_CHKOUTPUTTOFILE);
    settings.csv = Checked(IDC_OPTCSV);
    settings.logFileName = Text(IDC_TXTOUTPUTFILENAME);
    return settings;
}

void TfrmWatcher::SetTabCaption(const std::string& text) {
    HWND tabs = GetParent(window_);
    const int count = TabCtrl_GetItemCount(tabs);
    for (int i = 0; i < count; ++i) {
        TCITEMA item{};
        item.mask = TCIF_PARAM;
        SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        if (reinterpret_cast<HWND>(item.lParam) != window_) continue;
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(text.c_str());
        SendMessageA(tabs, TCM_SETITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
}

void TfrmWatcher::SetTimerRunning(bool running) {
    if (running)
        SetTimer(window_, kTimer1, kTimerInterval, nullptr);
    else
        KillTimer(window_, kTimer1);
}

void TfrmWatcher::SetStatusText(const std::string& text) {
    SetDlgItemTextA(window_, IDC_LBLSTATUS, text.c_str());
}

void TfrmWatcher::SetMonitoringTimeText(const std::string& text) {
    SetDlgItemTextA(window_, IDC_LBLMONITORINGTIME, text.c_str());
}

void TfrmWatcher::SetStartStopEnabled(bool startEnabled, bool stopEnabled) {
    // A disabled button that has the focus would leave the keyboard nowhere.
    HWND focus = GetFocus();
    EnableWindow(Control(IDC_CMDSTART), startEnabled);
    EnableWindow(Control(IDC_CMDSTOP), stopEnabled);
    if (focus != nullptr && !IsWindowEnabled(focus) && IsChild(window_, focus))
        SetFocus(Control(startEnabled ? IDC_CMDSTART : IDC_CMDSTOP));
}

void TfrmWatcher::EnableSettings(bool enabled) {
    for (const int id : kSettingsControls) EnableWindow(Control(id), enabled);
}

void TfrmWatcher::ShowMessage(const std::string& text, MessageIcon icon) {
    const UINT type = MB_OK | (icon == MessageIcon::Error     ? MB_ICONERROR
                               : icon == MessageIcon::Warning ? MB_ICONWARNING
                                                              : 0u);
    ShowMessageBox(window_, text, AppConstants::kProductName, type);
}

HWND TfrmWatcher::ShowWarningNotice(const std::string& text) {
    HWND box = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_WARNING_NOTICE),
                                  window_, &WarningProc, reinterpret_cast<LPARAM>(text.c_str()));
    if (box == nullptr) return nullptr;
    AddDialogWindow(box);
    MessageBeep(MB_ICONWARNING);
    return box;
}

void TfrmWatcher::ShowLogFailureNotice(const std::string& text) {
    // Not modal: a batch is being handled right now and the worker waits for it.
    logFailureBox_ = ShowWarningNotice(text);
}

void TfrmWatcher::ShowWatchNotice(const std::string& text) {
    // Not modal, as the log warning: a batch is being handled right now.
    watchNoticeBox_ = ShowWarningNotice(text);
}

void TfrmWatcher::WaitForLogFailureNotice() {
    MSG message;
    while (logFailureBox_ != nullptr && IsWindow(logFailureBox_) &&
           GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchOne(message);
}

bool TfrmWatcher::OutputToScreen() const {
    return Checked(IDC_CHKOUTPUTTOSCREEN);
}

bool TfrmWatcher::AutoScroll() const {
    return Checked(IDC_CHKAUTOSCROLL);
}

int TfrmWatcher::MaxLines() const {
    // What the field says right now, also before it has lost the focus.
    return MaxLinesValue(Text(IDC_TXTMAXLINES));
}

int TfrmWatcher::AppendRow(ResultRow row) {
    HWND list = Control(IDC_LVWRESULTS);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = RowCount();
    item.pszText = row[0].data();
    const int index =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) throw std::runtime_error("Cannot add a row to the results list");
    for (int column = 1; column < static_cast<int>(row.size()); ++column) {
        LVITEMA cell{};
        cell.iSubItem = column;
        cell.pszText = row[static_cast<std::size_t>(column)].data();
        SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&cell));
    }
    return index;
}

void TfrmWatcher::MakeRowVisible(int index) {
    ListView_EnsureVisible(Control(IDC_LVWRESULTS), index, FALSE);
}

int TfrmWatcher::RowCount() const {
    return ListView_GetItemCount(Control(IDC_LVWRESULTS));
}

ResultRow TfrmWatcher::RowAt(int index) const {
    HWND list = Control(IDC_LVWRESULTS);
    ResultRow row;
    for (int column = 0; column < static_cast<int>(row.size()); ++column) {
        // The list says how much it copied; a full buffer may mean more is there.
        std::string text(256, '\0');
        for (;;) {
            LVITEMA cell{};
            cell.iSubItem = column;
            cell.pszText = text.data();
            cell.cchTextMax = static_cast<int>(text.size());
            const auto copied = static_cast<std::size_t>(
                SendMessageA(list, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&cell)));
            if (copied + 1 < text.size() || text.size() >= (1u << 20)) {
                text.resize(copied);
                break;
            }
            text.assign(text.size() * 4, '\0');
        }
        row[static_cast<std::size_t>(column)] = std::move(text);
    }
    return row;
}

void TfrmWatcher::DeleteFirstRow() {
    ListView_DeleteItem(Control(IDC_LVWRESULTS), 0);
}

void TfrmWatcher::ClearRows() {
    BeginBatch();
    ListView_DeleteAllItems(Control(IDC_LVWRESULTS));
    EndBatch(std::nullopt);
}

void TfrmWatcher::SetChangeCountText(const std::string& text) {
    SetDlgItemTextA(window_, IDC_LBLCHANGECOUNT, text.c_str());
}

void TfrmWatcher::BeginBatch() {
    SendMessageA(Control(IDC_LVWRESULTS), WM_SETREDRAW, FALSE, 0);
}

void TfrmWatcher::EndBatch(std::optional<int> rowToShow) {
    HWND list = Control(IDC_LVWRESULTS);
    // The list takes in its new rows' extent (its scroll range) only when it
    // may redraw again, so the scroll comes after.
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    if (rowToShow) ListView_EnsureVisible(list, *rowToShow, FALSE);
    // Windows does not repaint when the redraw is turned back on.
    InvalidateRect(list, nullptr, TRUE);
}

}  // namespace tarnwell::win32
