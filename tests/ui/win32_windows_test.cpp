// The Windows program's windows, made for real and driven by window messages
// as a user's clicks and typing would: the main window and its tabs, a page's
// defaults, Start's refusals (through the MessageBoxA seam), a real watch on a
// real folder with its CSV log, Stop, Clear, the maximum lines, a hand-over's
// rows shown in one step, the page's warnings, the About box and its link, and
// the proxy dialog's round trip through the registry.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "engine/change_record.h"
#include "engine/result_outputs.h"
#include "net/proxy_settings.h"
#include "ui/watch_services.h"
#include "ui/win32/fMain.h"
#include "ui/win32/message_box.h"
#include "ui/win32/resource.h"
#include "ui/win32/win32_dispatcher.h"
#include "ui/win32/window_helpers.h"
#include "ui/win32_test_support.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::PumpUntil;
using test::TextOf;

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new test::Win32Environment);

// An HTTP server on 127.0.0.1 that answers one request with `response`.
class OneShotServer {
  public:
    explicit OneShotServer(std::string response) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        listen(listener_, 1);
        thread_ = std::thread([this, response = std::move(response)] {
            const SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) return;
            char buffer[4096];
            while (request_.find("\r\n\r\n") == std::string::npos) {
                const int got = recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                request_.append(buffer, static_cast<std::size_t>(got));
            }
            send(client, response.data(), static_cast<int>(response.size()), 0);
            shutdown(client, SD_SEND);
            closesocket(client);
        });
    }
    ~OneShotServer() {
        Finish();
        WSACleanup();
    }
    // Ends the server once its one exchange is over (or none came).
    void Finish() {
        if (listener_ != INVALID_SOCKET) closesocket(listener_);  // ends a wait in accept
        listener_ = INVALID_SOCKET;
        if (thread_.joinable()) thread_.join();
    }
    OneShotServer(const OneShotServer&) = delete;
    OneShotServer& operator=(const OneShotServer&) = delete;
    std::uint16_t Port() const { return port_; }
    // Read only after Finish.
    const std::string& Request() const { return request_; }

  private:
    SOCKET listener_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
    std::string request_;
    std::thread thread_;
};

// Whether the window itself is shown, whatever its parents are.
bool Shown(HWND window) {
    return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

// The messages that show a step of the results list to the user, counted
// on the list and the count label while it lives.
class ShowingMessages {
  public:
    ShowingMessages(HWND list, HWND countLabel) : windows_{list, countLabel} {
        for (HWND window : windows_)
            SetWindowSubclass(window, &Count, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~ShowingMessages() {
        for (HWND window : windows_) RemoveWindowSubclass(window, &Count, 1);
    }
    ShowingMessages(const ShowingMessages&) = delete;
    ShowingMessages& operator=(const ShowingMessages&) = delete;

    int redrawOff = 0, redrawOn = 0, scrolls = 0, countTexts = 0;

  private:
    static LRESULT CALLBACK Count(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR /*id*/, DWORD_PTR data) {
        auto* self = reinterpret_cast<ShowingMessages*>(data);
        if (message == WM_SETREDRAW) ++(wParam != 0 ? self->redrawOn : self->redrawOff);
        if (message == LVM_ENSUREVISIBLE) ++self->scrolls;
        if (message == WM_SETTEXT && window == self->windows_[1]) ++self->countTexts;
        return DefSubclassProc(window, message, wParam, lParam);
    }
    HWND windows_[2];
};

class Win32WindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::temp_directory_path() /
                ("tarnwell-win32-" + std::string(info->name()) + "-" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(root_ / "watched");
        win32::SetMessageBoxHook([this](const win32::MessageBoxCall& call) {
            boxes_.push_back(call);
            return IDOK;
        });
        HelpRequestServices help;
        help.executableFolder = [] { return std::string("C:\\nowhere\\"); };
        help.findViewer = [] { return true; };
        help.isFile = [](const std::string&) { return true; };
        help.showHelp = [this](const std::string&, unsigned command, std::uint32_t data) {
            helpCalls_.push_back(std::to_string(command) + " " + std::to_string(data));
        };
        dispatcher_ = std::make_unique<win32::Win32Dispatcher>();
        services_ = std::make_unique<WatchServices>();
        main_ = std::make_unique<win32::TfrmMain>(WorkerContext{*dispatcher_, services_->Batch()},
                                                  help);
        // Hidden: under an Xvfb without a window manager Wine waits for a shown
        // top-level window to be mapped, which costs a second or two per test.
        main_->Show(SW_HIDE);
    }
    void UseUpdateServer(std::uint16_t port) {
        main_.reset();
        HelpRequestServices help;
        main_ = std::make_unique<win32::TfrmMain>(WorkerContext{*dispatcher_, services_->Batch()},
                                                  help, UpdateSource{"127.0.0.1", port});
        // Hidden: under an Xvfb without a window manager Wine waits for a shown
        // top-level window to be mapped, which costs a second or two per test.
        main_->Show(SW_HIDE);
    }
    // Runs the About box's check against a loopback server with `proxy` as
    // the stored settings; returns what the box showed when opened again.
    std::string RunCheck(const ProxySettings& proxy, std::string& request) {
        const std::string document =
            "<?xml version=\"1.0\"?><ProductVersions><Tarnwell><Version>1.2</Version>"
            "<URL>http://127.0.0.1/tarnwell-1.2-setup.exe</URL></Tarnwell></ProductVersions>";
        OneShotServer server("HTTP/1.1 200 OK\r\nContent-Length: " +
                             std::to_string(document.size()) + "\r\n\r\n" + document);
        UseUpdateServer(server.Port());
        ProxySettings original;
        LoadProxySettings(original);
        SaveProxySettings(proxy);
        std::vector<std::string> seen;
        win32::SetDialogShownHook([&](HWND dialog, int templateId) {
            if (templateId != IDD_ABOUT) return;
            if (seen.empty()) {
                seen.push_back("first");
                // The check runs, then the box is closed and opened again:
                // what the check found stays on it.
                PostMessageA(GetDlgItem(dialog, IDC_CMDUPDATES), BM_CLICK, 0, 0);
                PostMessageA(dialog, WM_COMMAND, IDOK, 0);
                return;
            }
            const LONG download = GetWindowLongA(GetDlgItem(dialog, IDC_CMDDOWNLOAD), GWL_STYLE);
            seen.push_back(TextOf(GetDlgItem(dialog, IDC_ABOUT_LBLSTATUS)) + "|" +
                           TextOf(GetDlgItem(dialog, IDC_ABOUT_LBLSTATUS2)) + "|" +
                           ((download & WS_VISIBLE) != 0 ? "download" : ""));
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        Command(IDM_ABOUT1);
        Command(IDM_ABOUT1);
        SaveProxySettings(original);
        win32::SetDialogShownHook({});
        server.Finish();
        request = server.Request();
        return seen.size() == 2
                   ? seen[1]
                   : std::string("About box shown ") + std::to_string(seen.size()) + " times";
    }
    void TearDown() override {
        win32::SetMessageBoxHook({});
        win32::SetDialogShownHook({});
        main_.reset();
        services_.reset();
        dispatcher_.reset();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    win32::TfrmWatcher& Page(int index = 0) { return main_->PageWindow(index); }
    HWND Item(int id, int page = 0) { return Page(page).Control(id); }
    void Click(int id, int page = 0) { SendMessageA(Item(id, page), BM_CLICK, 0, 0); }
    bool Checked(int id) { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Type(int id, const std::string& text) {
        SendMessageA(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void Command(int id) { SendMessageA(main_->Handle(), WM_COMMAND, id, 0); }
    std::string TabText(int index) {
        char text[512] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(main_->TabArea(), TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
        return text;
    }
    int Rows() {
        return static_cast<int>(SendMessageA(Item(IDC_LVWRESULTS), LVM_GETITEMCOUNT, 0, 0));
    }
    std::string Cell(int row, int column) {
        char text[1024] = {};
        LVITEMA cell{};
        cell.iSubItem = column;
        cell.pszText = text;
        cell.cchTextMax = sizeof text;
        SendMessageA(Item(IDC_LVWRESULTS), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
        return text;
    }
    std::string Watched() const { return (root_ / "watched").string(); }
    // Creates files until the list has `rows` rows; the watch may begin only at
    // its first read.
    bool CreateUntilRows(int rows) {
        for (int attempt = 0; attempt < 60; ++attempt) {
            std::ofstream(root_ / "watched" / ("probe" + std::to_string(attempt) + ".txt"),
                          std::ios::binary)
                << "12345";
            if (PumpUntil([&] { return Rows() >= rows; }, 150ms)) return true;
        }
        return false;
    }

    // One record of a hand-over as the worker reports it: its row (scrolled
    // to with Auto Scroll), the count, the trim to the maximum lines.
    void Report(int number) {
        ChangeRecord record;
        record.FullPath = "C:\\watched\\file" + std::to_string(number) + ".txt";
        record.ActionWord = "Created";
        record.Size = static_cast<std::uint32_t>(number);
        record.Owner = "HOST\\user";
        WatchPage& page = Page().Logic();
        AddResultRow(page, "stamp " + std::to_string(number), record);
        ShowChangeCount(page, number);
        TrimResults(page);
    }
    // What the user sees of the list and the count.
    struct ListPicture {
        std::vector<std::string> rows;
        std::string count;
        int top = 0;
        bool operator==(const ListPicture& other) const {
            return rows == other.rows && count == other.count && top == other.top;
        }
        friend void PrintTo(const ListPicture& picture, std::ostream* out) {
            *out << picture.rows.size() << " rows from "
                 << (picture.rows.empty() ? "-" : picture.rows.front()) << " to "
                 << (picture.rows.empty() ? "-" : picture.rows.back()) << ", top row "
                 << picture.top << ", count \"" << picture.count << "\"";
        }
    };
    ListPicture WhatIsShown() {
        ListPicture shown;
        for (int row = 0; row < Rows(); ++row) {
            std::string cells;
            for (int column = 0; column < 5; ++column) cells += Cell(row, column) + "|";
            shown.rows.push_back(cells);
        }
        shown.count = TextOf(Item(IDC_LBLCHANGECOUNT));
        shown.top = ListView_GetTopIndex(Item(IDC_LVWRESULTS));
        return shown;
    }
    bool NewestRowVisible() {
        HWND list = Item(IDC_LVWRESULTS);
        const int top = ListView_GetTopIndex(list);
        return Rows() > 0 && top <= Rows() - 1 && Rows() - 1 < top + ListView_GetCountPerPage(list);
    }

    // A watch page's warning: owned by the page's window, the product name
    // as caption, the warning icon beside the whole text, OK below them.
    void ExpectWarning(HWND notice) {
        EXPECT_EQ(GetWindow(notice, GW_OWNER), GetAncestor(Page().Handle(), GA_ROOT));
        EXPECT_EQ(TextOf(notice), "Tarnwell");
        HWND icon = GetDlgItem(notice, IDC_NOTICE_ICON);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0)),
                  LoadIcon(nullptr, IDI_WARNING));
        EXPECT_TRUE(IsWindowVisible(icon));
        HWND label = GetDlgItem(notice, IDC_NOTICE_TEXT);
        RECT iconPlace, textPlace, okPlace;
        GetWindowRect(icon, &iconPlace);
        GetWindowRect(label, &textPlace);
        GetWindowRect(GetDlgItem(notice, IDOK), &okPlace);
        EXPECT_LE(iconPlace.right, textPlace.left);
        EXPECT_LE(textPlace.bottom, okPlace.top);
        EXPECT_LE(win32::WrappedTextHeight(label, textPlace.right - textPlace.left),
                  textPlace.bottom - textPlace.top)
            << "the text is cut";
    }

    fs::path root_;
    std::vector<win32::MessageBoxCall> boxes_;
    std::vector<std::string> helpCalls_;
    std::unique_ptr<win32::Win32Dispatcher> dispatcher_;
    std::unique_ptr<WatchServices> services_;
    std::unique_ptr<win32::TfrmMain> main_;
};

TEST_F(Win32WindowsTest, MainWindowHasItsCaptionMenuToolBarAndOnePage) {
    EXPECT_EQ(TextOf(main_->Handle()), "Watcher");
    EXPECT_EQ(TabCtrl_GetItemCount(main_->TabArea()), 1);
    EXPECT_EQ(TabText(0), "New Watch");
    EXPECT_EQ(TabCtrl_GetCurSel(main_->TabArea()), 0);
    EXPECT_TRUE(Shown(Page().Handle()));
    EXPECT_EQ(SendMessageA(main_->ToolBar(), TB_BUTTONCOUNT, 0, 0), 3);

    HMENU menu = GetMenu(main_->Handle());
    const std::pair<int, const char*> items[] = {
        {IDM_NEWWINDOW1, "&New Window"},
        {IDM_EXIT1, "E&xit"},
        {IDM_COPYRESULTSTOCLIPBOARD1, "&Copy Results to Clipboard"},
        {IDM_CLEARRESULTSLIST1, "C&lear Results List"},
        {IDM_TARNWELLHELP1, "Tarnwell &Help"},
        {IDM_ABOUT1, "&About"},
    };
    for (const auto& [id, caption] : items) {
        char text[128] = {};
        GetMenuStringA(menu, id, text, sizeof text, MF_BYCOMMAND);
        EXPECT_STREQ(text, caption);
    }

    // New from the tool bar and from the menu: each a new active page at the end.
    Command(IDM_TBBNEW);
    Command(IDM_NEWWINDOW1);
    EXPECT_EQ(TabCtrl_GetItemCount(main_->TabArea()), 3);
    EXPECT_EQ(TabCtrl_GetCurSel(main_->TabArea()), 2);
    EXPECT_FALSE(Shown(Page(0).Handle()));
    EXPECT_TRUE(Shown(Page(2).Handle()));

    // Help from the menu asks for the contents; F1 in the window for context 1028.
    Command(IDM_TARNWELLHELP1);
    MSG f1{Item(IDC_CBOPATH, 2), WM_KEYDOWN, VK_F1, 1, 0, {}};
    EXPECT_TRUE(main_->FilterKey(f1));
    EXPECT_EQ(helpCalls_, (std::vector<std::string>{"1 0", "15 1028"}));
}

TEST_F(Win32WindowsTest, PageStartsWithItsDefaults) {
    EXPECT_EQ(TextOf(Item(IDC_CBOPATH)), "");
    EXPECT_EQ(TextOf(Item(IDC_TXTMAXLINES)), "1000");
    EXPECT_EQ(TextOf(Item(IDC_TXTOUTPUTFILENAME)), "");
    const std::pair<int, bool> boxes[] = {
        {IDC_CHKINCLUDESUB, false},
        {IDC_CHKOUTPUTTOSCREEN, true},
        {IDC_CHKAUTOSCROLL, false},
        {IDC_CHKFLAGCREATEFILE, true},
        {IDC_CHKFLAGLASTACCESS, false},
        {IDC_CHKFLAGCREATIONTIME, false},
        {IDC_CHKFLAGLASTWRITE, false},
        {IDC_CHKFLAGCREATEDIR, false},
        {IDC_CHKFLAGSECURITY, false},
        {IDC_CHKFLAGATTRIBUTES, false},
        {IDC_CHKFLAGFILESIZE, false},
        {IDC_CHKOUTPUTTOFILE, false},
        {IDC_OPTCSV, true},
        {IDC_OPTTAB, false},
    };
    for (const auto& [id, checked] : boxes) EXPECT_EQ(Checked(id), checked) << id;
    for (const int id : {IDC_LBLSTATUS, IDC_LBLCHANGECOUNT, IDC_LBLMONITORINGTIME})
        EXPECT_EQ(TextOf(Item(id)), "");
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_CMDSTART)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_CMDSTOP)));

    HWND header = ListView_GetHeader(Item(IDC_LVWRESULTS));
    ASSERT_EQ(Header_GetItemCount(header), 5);
    for (int column = 0; column < 5; ++column) {
        char title[64] = {};
        LVCOLUMNA item{};
        item.mask = LVCF_TEXT | LVCF_WIDTH;
        item.pszText = title;
        item.cchTextMax = sizeof title;
        SendMessageA(Item(IDC_LVWRESULTS), LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(title, kResultColumns[static_cast<std::size_t>(column)].title);
        // As wide as the texts the column can show, File Name at least as described.
        EXPECT_GT(item.cx, ListView_GetStringWidth(Item(IDC_LVWRESULTS), title));
        if (column == 1) {
            EXPECT_GE(item.cx, kResultColumns[1].width);
        }
    }

    // A number beyond the range becomes the bound when the field loses the focus.
    Type(IDC_TXTMAXLINES, "70000");
    SendMessageA(Page().Handle(), WM_COMMAND, MAKEWPARAM(IDC_TXTMAXLINES, EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(Item(IDC_TXTMAXLINES)));
    EXPECT_EQ(TextOf(Item(IDC_TXTMAXLINES)), "60000");
}

TEST_F(Win32WindowsTest, StartRefusesInOrderWithTheDescribedBoxes) {
    Type(IDC_CBOPATH, Watched());
    Click(IDC_CHKFLAGCREATEFILE);
    Click(IDC_CHKOUTPUTTOSCREEN);
    Click(IDC_CMDSTART);
    Click(IDC_CHKFLAGLASTWRITE);
    Click(IDC_CMDSTART);
    Click(IDC_CHKOUTPUTTOFILE);  // with an empty file name
    Command(IDM_TBBSTART);       // the tool bar's Start does what the page's does

    ASSERT_EQ(boxes_.size(), 3u);
    const std::pair<const char*, UINT> expected[] = {{kNoActivityText, MB_ICONWARNING},
                                                     {kNoOutputText, MB_ICONWARNING},
                                                     {kCannotOpenLogText, MB_ICONERROR}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(boxes_[i].text, expected[i].first);
        EXPECT_EQ(boxes_[i].caption, "Tarnwell");
        EXPECT_EQ(boxes_[i].type, MB_OK | expected[i].second);
        EXPECT_EQ(boxes_[i].owner, Page().Handle());
    }
    EXPECT_EQ(TextOf(Item(IDC_LBLSTATUS)), "Not Running");
    EXPECT_EQ(TabText(0), Watched());
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_CMDSTART)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_CMDSTOP)));
    EXPECT_EQ(Page().Logic().Worker(), nullptr);
}

TEST_F(Win32WindowsTest, WatchListsACreatedFileWritesItsLineStopsAndClears) {
    const std::string log = (root_ / "log.csv").string();
    Type(IDC_CBOPATH, Watched());
    Click(IDC_CHKOUTPUTTOFILE);
    Type(IDC_TXTOUTPUTFILENAME, log);
    Click(IDC_CMDSTART);
    ASSERT_TRUE(boxes_.empty()) << boxes_.front().text;
    EXPECT_EQ(TextOf(Item(IDC_LBLSTATUS)), "Running");
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_CMDSTART)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_CMDSTOP)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_CBOPATH)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_LMDBUTTON1)));
    EXPECT_EQ(TabText(0), Watched());

    ASSERT_TRUE(CreateUntilRows(1)) << "no change was listed";
    const std::string path = Cell(0, 1);
    EXPECT_EQ(path.rfind(Watched() + "\\probe", 0), 0u) << path;
    EXPECT_EQ(Cell(0, 2), "Created");
    EXPECT_EQ(Cell(0, 3), "5");
    // The stamp is shown whole, whatever the regional settings make of it.
    EXPECT_LT(ListView_GetStringWidth(Item(IDC_LVWRESULTS), Cell(0, 0).c_str()),
              ListView_GetColumnWidth(Item(IDC_LVWRESULTS), 0));
    EXPECT_NE(Cell(0, 4).find('\\'), std::string::npos) << "owner as domain\\name";
    EXPECT_EQ(TextOf(Item(IDC_LBLCHANGECOUNT)), "1");
    // The clock ticks twice a second while the watch runs.
    EXPECT_TRUE(PumpUntil([&] { return !TextOf(Item(IDC_LBLMONITORINGTIME)).empty(); }, 3s));

    Command(IDM_TBBSTOP);
    EXPECT_EQ(TextOf(Item(IDC_LBLSTATUS)), "Not Running");
    EXPECT_EQ(TextOf(Item(IDC_LBLMONITORINGTIME)), "");
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_CBOPATH)));
    std::ifstream in(log, std::ios::binary);
    const std::string lines{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(lines.find(",\"" + path + "\",\"Created\",5,\""), std::string::npos) << lines;

    Click(IDC_LMDBUTTON1);
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(TextOf(Item(IDC_LBLCHANGECOUNT)), "1") << "Clear leaves the count";
}

TEST_F(Win32WindowsTest, CopyResultsPutsTheRowsOnTheClipboard) {
    Type(IDC_CBOPATH, Watched());
    Click(IDC_CMDSTART);
    ASSERT_TRUE(CreateUntilRows(1));
    Command(IDM_TBBSTOP);
    Command(IDM_COPYRESULTSTOCLIPBOARD1);
    ASSERT_TRUE(OpenClipboard(main_->Handle()));
    std::string text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const auto* chars = static_cast<const char*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    const std::string expected = "Time Stamp\tFile Name\tAction\tFile Size\tOwner\r\n" +
                                 Cell(0, 0) + "\t" + Cell(0, 1) + "\tCreated\t5\t" + Cell(0, 4) +
                                 "\r\n";
    EXPECT_EQ(text, expected);

    // Clear Results List does what the page's Clear does.
    Command(IDM_CLEARRESULTSLIST1);
    EXPECT_EQ(Rows(), 0);
}

TEST_F(Win32WindowsTest, ALogThatCannotBeWrittenIsToldOnce) {
    // Z: is the Unix root under Wine; /dev/full takes the open but no byte.
    Type(IDC_CBOPATH, Watched());
    Click(IDC_CHKOUTPUTTOFILE);
    Type(IDC_TXTOUTPUTFILENAME, "Z:\\dev\\full");
    Click(IDC_CMDSTART);
    ASSERT_TRUE(boxes_.empty());
    ASSERT_TRUE(CreateUntilRows(1));
    Command(IDM_TBBSTOP);
    HWND notice = Page().LogFailureNotice();
    ASSERT_NE(notice, nullptr) << "the lines lost at the close are not told";
    EXPECT_EQ(TextOf(notice), "Tarnwell");
    const std::string text = TextOf(GetDlgItem(notice, IDC_NOTICE_TEXT));
    EXPECT_EQ(text.rfind("Cannot write to the log file Z:\\dev\\full: ", 0), 0u) << text;
    EXPECT_NE(text.find("Lines may be missing from the file."), std::string::npos) << text;
    ExpectWarning(notice);
    SendMessageA(GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(Page().LogFailureNotice(), nullptr);
}

TEST_F(Win32WindowsTest, AWatchNoticeIsAWarningOfThePage) {
    // Only the Linux directory read gives one; the page shows it as it would.
    const std::string text =
        "Changes below 3 folders are not reported: the system's limit on watched folders "
        "(8192) is reached. Raise fs.inotify.max_user_watches & start the watch again.";
    Page().Logic().ShowWatchNotice(text);
    HWND notice = Page().WatchNotice();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(notice, IDC_NOTICE_TEXT)), text);
    ExpectWarning(notice);
    // Not modal: every window stays usable while it is up.
    EXPECT_TRUE(IsWindowEnabled(main_->Handle()));
    SendMessageA(GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(Page().WatchNotice(), nullptr);
}

TEST_F(Win32WindowsTest, ListKeepsAtMostTheMaximumLines) {
    Type(IDC_CBOPATH, Watched());
    Type(IDC_TXTMAXLINES, "2");
    Click(IDC_CMDSTART);
    ASSERT_TRUE(CreateUntilRows(2));
    const int count = std::stoi(TextOf(Item(IDC_LBLCHANGECOUNT)));
    std::ofstream(root_ / "watched" / "late1.txt") << "x";
    std::ofstream(root_ / "watched" / "late2.txt") << "x";
    ASSERT_TRUE(
        PumpUntil([&] { return std::stoi(TextOf(Item(IDC_LBLCHANGECOUNT))) >= count + 2; }, 10s));
    EXPECT_EQ(Rows(), 2);
    EXPECT_NE(Cell(1, 1).find("late2.txt"), std::string::npos) << "the newest row stays last";
}

TEST_F(Win32WindowsTest, AHandOverIsShownInOneStepAsItsCallsOneByOneWouldShowIt) {
    HWND list = Item(IDC_LVWRESULTS);
    const int page = ListView_GetCountPerPage(list);
    ASSERT_GT(page, 0);
    // Hand-overs of a few rows, of twice the maximum with a batch within it,
    // and of one row; the maximum is three pages, so the list scrolls.
    const int maximum = 3 * page;
    const int sizes[] = {3, 2 * maximum, 1};
    Type(IDC_TXTMAXLINES, std::to_string(maximum));
    Click(IDC_CHKAUTOSCROLL);

    // The calls one by one: what the user must see after each hand-over.
    std::vector<ListPicture> expected;
    int number = 0;
    for (const int size : sizes) {
        for (int i = 0; i < size; ++i) Report(++number);
        expected.push_back(WhatIsShown());
        EXPECT_TRUE(NewestRowVisible());
    }
    EXPECT_EQ(Rows(), maximum);
    EXPECT_GT(expected[1].top, 0) << "the list scrolled";
    Click(IDC_LMDBUTTON1);
    ASSERT_EQ(Rows(), 0);
    const std::string countBefore = TextOf(Item(IDC_LBLCHANGECOUNT));

    // The same calls in batches.
    ShowingMessages messages(list, Item(IDC_LBLCHANGECOUNT));
    WatchPage& logic = Page().Logic();
    number = 0;
    logic.BeginBatch();
    for (int i = 0; i < sizes[0]; ++i) Report(++number);
    EXPECT_EQ(Rows(), sizes[0]) << "the page's own view of the rows follows at once";
    EXPECT_EQ(messages.scrolls, 0);
    EXPECT_EQ(TextOf(Item(IDC_LBLCHANGECOUNT)), countBefore);
    logic.EndBatch();
    EXPECT_EQ(WhatIsShown(), expected[0]);
    EXPECT_TRUE(NewestRowVisible());
    EXPECT_EQ(messages.redrawOff, 1);
    EXPECT_EQ(messages.redrawOn, 1);
    EXPECT_EQ(messages.scrolls, 1);
    EXPECT_EQ(messages.countTexts, 1);

    // Nested: only the outermost end shows anything.
    logic.BeginBatch();
    for (int i = 0; i < maximum; ++i) Report(++number);
    logic.BeginBatch();
    for (int i = 0; i < maximum; ++i) Report(++number);
    logic.EndBatch();
    EXPECT_EQ(messages.redrawOff, 2);
    EXPECT_EQ(messages.redrawOn, 1);
    EXPECT_EQ(messages.scrolls, 1);
    EXPECT_EQ(messages.countTexts, 1);
    EXPECT_EQ(TextOf(Item(IDC_LBLCHANGECOUNT)), std::to_string(sizes[0]));
    logic.EndBatch();
    EXPECT_EQ(WhatIsShown(), expected[1]);
    EXPECT_TRUE(NewestRowVisible());
    EXPECT_EQ(Rows(), maximum);
    EXPECT_EQ(Cell(0, 1), "C:\\watched\\file" + std::to_string(number - maximum + 1) + ".txt");
    EXPECT_EQ(Cell(maximum - 1, 1), "C:\\watched\\file" + std::to_string(number) + ".txt");
    EXPECT_EQ(TextOf(Item(IDC_LBLCHANGECOUNT)), std::to_string(number));
    EXPECT_EQ(messages.redrawOn, 2);
    EXPECT_EQ(messages.scrolls, 2);
    EXPECT_EQ(messages.countTexts, 2);

    // Outside a batch every call is shown at once.
    Report(++number);
    EXPECT_EQ(WhatIsShown(), expected[2]);
    EXPECT_TRUE(NewestRowVisible());
    EXPECT_EQ(messages.scrolls, 3);
    EXPECT_EQ(messages.countTexts, 3);
    EXPECT_EQ(messages.redrawOff, 2) << "no batch, no redraw bracket";

    // Without Auto Scroll a batch leaves the list where the user has it.
    Click(IDC_CHKAUTOSCROLL);
    ListView_EnsureVisible(list, 0, FALSE);
    const int top = ListView_GetTopIndex(list);
    logic.BeginBatch();
    for (int i = 0; i < page; ++i) Report(++number);
    logic.EndBatch();
    EXPECT_EQ(messages.scrolls, 4) << "only the test's own scroll";
    EXPECT_EQ(ListView_GetTopIndex(list), top);
    EXPECT_EQ(TextOf(Item(IDC_LBLCHANGECOUNT)), std::to_string(number));
}

TEST_F(Win32WindowsTest, ManyQuickChangesEndWithTheNewestRowShown) {
    Type(IDC_CBOPATH, Watched());
    Type(IDC_TXTMAXLINES, "50");
    Click(IDC_CHKAUTOSCROLL);
    Click(IDC_CMDSTART);
    ASSERT_TRUE(CreateUntilRows(1));
    const int before = std::stoi(TextOf(Item(IDC_LBLCHANGECOUNT)));
    // As many as one read's buffer holds, so none is lost to an overflow;
    // they come in one hand-over or a few.
    const int files = 150;
    for (int i = 0; i < files; ++i)
        std::ofstream(root_ / "watched" / ("quick" + std::to_string(1000 + i)));
    const std::string total = std::to_string(before + files);
    ASSERT_TRUE(PumpUntil([&] { return TextOf(Item(IDC_LBLCHANGECOUNT)) == total; }, 20s))
        << TextOf(Item(IDC_LBLCHANGECOUNT)) << " changes, not " << total;
    EXPECT_EQ(Rows(), 50);
    EXPECT_EQ(Cell(0, 1), Watched() + "\\quick" + std::to_string(1000 + files - 50));
    EXPECT_EQ(Cell(49, 1), Watched() + "\\quick" + std::to_string(1000 + files - 1));
    EXPECT_TRUE(NewestRowVisible());
    Command(IDM_TBBSTOP);
}

// The worker's notice about a folder it cannot open: an ownerless dialog of
// this thread with the text in it; nullptr while there is none.
HWND FindNotice(const char* text) {
    struct Search {
        const char* text;
        HWND found;
    } search{text, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            HWND label = GetDlgItem(window, IDC_NOTICE_TEXT);
            if (label == nullptr || TextOf(label) != s->text) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST_F(Win32WindowsTest, AWatchThatCannotOpenItsFolderEndsAfterItsNotice) {
    Type(IDC_CBOPATH, (root_ / "missing" / "").string());
    Click(IDC_CMDSTART);
    EXPECT_EQ(TextOf(Item(IDC_LBLSTATUS)), "Running");
    HWND notice = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (notice = FindNotice("Cannot Open")) != nullptr; }, 10s));
    EXPECT_EQ(GetWindow(notice, GW_OWNER), nullptr);
    EXPECT_EQ(TextOf(notice), "");
    // Every window stays usable while it is up.
    EXPECT_TRUE(IsWindowEnabled(main_->Handle()));

    SendMessageA(GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);
    // The page's clock polls the worker's end twice a second.
    EXPECT_TRUE(PumpUntil([&] { return TextOf(Item(IDC_LBLSTATUS)) == "Not Running"; }, 3s));
    EXPECT_EQ(Page().Logic().Worker(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_CMDSTART)));
}

TEST_F(Win32WindowsTest, AboutBoxAndProxyDialogRoundTripThroughTheRegistry) {
    ProxySettings original;
    LoadProxySettings(original);
    std::vector<std::string> seen;
    win32::SetDialogShownHook([&](HWND dialog, int templateId) {
        if (templateId == IDD_ABOUT) {
            seen.push_back(TextOf(GetDlgItem(dialog, IDC_LBLAPPNAME)) + " " +
                           TextOf(GetDlgItem(dialog, IDC_LBLVERSION)) + " " +
                           TextOf(GetDlgItem(dialog, IDC_LBLURL)));
            if (seen.size() == 1)
                PostMessageA(GetDlgItem(dialog, IDC_CMDPROXY), BM_CLICK, 0, 0);
            else
                PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        } else if (templateId == IDD_PROXY_SETTINGS) {
            seen.push_back(std::string("proxy enabled=") +
                           (IsWindowEnabled(GetDlgItem(dialog, IDC_TXTHOSTNAME)) ? "1" : "0"));
            SendMessageA(GetDlgItem(dialog, IDC_CHKUSEPROXY), BM_CLICK, 0, 0);
            seen.push_back(std::string("after click enabled=") +
                           (IsWindowEnabled(GetDlgItem(dialog, IDC_TXTHOSTNAME)) ? "1" : "0"));
            SetDlgItemTextA(dialog, IDC_TXTHOSTNAME, "proxy.test");
            SetDlgItemTextA(dialog, IDC_TXTPORT, "0x438");
            SetDlgItemTextA(dialog, IDC_TXTUSERNAME, "alice");
            SetDlgItemTextA(dialog, IDC_TXTPASSWORD, "secret");
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            // Once the proxy dialog has gone, the About box is closed.
            PostMessageA(GetParent(dialog), WM_COMMAND, IDOK, 0);
        }
    });
    // Start from a key without the proxy.
    SaveProxySettings(ProxySettings{});
    Command(IDM_ABOUT1);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0], "Tarnwell 1.10 https://tarnwell.example.org/");
    EXPECT_EQ(seen[1], "proxy enabled=0");
    EXPECT_EQ(seen[2], "after click enabled=1");

    ProxySettings stored;
    LoadProxySettings(stored);
    EXPECT_EQ(stored, (ProxySettings{1, "proxy.test", 1080, "alice", "secret"}));
    EXPECT_EQ(main_->About().Proxy(), stored);
    SaveProxySettings(original);
}

TEST_F(Win32WindowsTest, AboutBoxShowsItsWebSiteAsALink) {
    int shown = 0;
    win32::SetDialogShownHook([&](HWND dialog, int templateId) {
        if (templateId != IDD_ABOUT) return;
        ++shown;
        HWND link = GetDlgItem(dialog, IDC_LBLURL);
        auto* font = reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0));
        LOGFONTA look{};
        ASSERT_NE(GetObjectA(font, sizeof look, &look), 0);
        EXPECT_TRUE(look.lfUnderline);
        // Only as wide as its text: the hand and a click are where the text is.
        const std::string text = TextOf(link);
        HDC dc = GetDC(link);
        HGDIOBJ before = SelectObject(dc, font);
        SIZE extent{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(dc, before);
        ReleaseDC(link, dc);
        RECT place;
        GetClientRect(link, &place);
        EXPECT_EQ(place.right, extent.cx);
        // The hand over the link, the arrow over the label beside it.
        const LPARAM hover = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
        SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), hover);
        EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_HAND));
        HWND beside = GetDlgItem(dialog, IDC_LBLCOPYRIGHT);
        SendMessageA(beside, WM_SETCURSOR, reinterpret_cast<WPARAM>(beside), hover);
        EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_ARROW));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    // Twice: the box is made anew at every showing.
    Command(IDM_ABOUT1);
    Command(IDM_ABOUT1);
    EXPECT_EQ(shown, 2);
}

TEST_F(Win32WindowsTest, AboutBoxChecksForUpdatesAgainstALoopbackServer) {
    std::string request;
    EXPECT_EQ(RunCheck(ProxySettings{}, request), "|A Newer Version Is Available|download");
    EXPECT_EQ(main_->About().DownloadURL(), "http://127.0.0.1/tarnwell-1.2-setup.exe");
    EXPECT_EQ(request.rfind("GET /versions/versions.xml HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(Win32WindowsTest, AboutBoxChecksForUpdatesThroughMicrosocks) {
    const char* port = std::getenv("TARNWELL_TEST_SOCKS_PORT");
    if (port == nullptr)
        GTEST_SKIP() << "no microsocks beside the test (tests/ui/with_microsocks.sh)";
    std::string request;
    EXPECT_EQ(RunCheck(ProxySettings{1, "127.0.0.1", std::atoi(port), "", ""}, request),
              "|A Newer Version Is Available|download");
    EXPECT_EQ(request.rfind("GET /versions/versions.xml HTTP/1.1\r\nHost: 127.0.0.1:", 0), 0u)
        << request;
    EXPECT_TRUE(boxes_.empty());

    // A proxy that is not there: the check goes nowhere else and says why.
    EXPECT_EQ(RunCheck(ProxySettings{1, "127.0.0.1", 1, "", ""}, request),
              "Checking for Updates||");
    EXPECT_TRUE(request.empty());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Check for Updates");
    EXPECT_EQ(
        boxes_[0].text.rfind("An Error occured whilst Checking for updates. \n\n Error Code : ", 0),
        0u)
        << boxes_[0].text;
    EXPECT_EQ(boxes_[0].type, static_cast<UINT>(MB_OK));
}

TEST_F(Win32WindowsTest, ExitStopsEveryWatchAndEndsTheLoop) {
    Type(IDC_CBOPATH, Watched());
    Click(IDC_CMDSTART);
    Command(IDM_TBBNEW);
    ASSERT_NE(Page(0).Logic().Worker(), nullptr);
    Command(IDM_EXIT1);
    EXPECT_EQ(Page(0).Logic().Worker(), nullptr);
    EXPECT_FALSE(IsWindow(main_->Handle()));
    MSG quit{};
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u) << "the run ends with exit code 0";
}

}  // namespace
}  // namespace tarnwell
