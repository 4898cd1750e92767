// tarnwell_bench: one watch run exactly the way a watch page runs it, so a
// script can time it against other watchers.
//
// The page itself (TfrmWatcher) does the work: its Start fills the real
// worker, opens the log with "wb+" and resumes; its batches go through the real
// Qt dispatcher served by this event loop, into the page's results model with
// its trimming, and into the real log writer; its Stop shuts the worker down
// and closes the log. Without --show the page is never shown; with it, the
// page is the first page of the real main window, shown, and the list paints
// and scrolls as it does for a user. The driver only sets the page's controls
// from the command line, watches from outside, and reports one JSON line at
// the end.
//
// What a user feels is whether the window answers: a 10 ms timer on the
// user-interface thread ticks late while a hand-over or a repaint holds that
// thread, and the gaps between its ticks while changes come in are reported,
// with the longest single hand-over.
//
// --memory-scenario measures the results list alone: it fills the page's list
// to --rows rows and then appends one row a millisecond, timing each append
// plus trim.

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/result_outputs.h"
#include "engine/time_stamp.h"
#include "ui/qt/fMain.h"
#include "ui/qt/fWatcher.h"
#include "ui/qt/max_lines_spin_box.h"
#include "ui/qt/qt_dispatcher.h"
#include "ui/qt/results_model.h"
#include "ui/watch_services.h"

namespace tarnwell {
namespace {

struct Options {
    std::string path;
    bool subtree = false;
    unsigned filter = 1;  // "Create/Delete File", as a new page has it
    bool screen = true;
    int maxLines = 1000;
    bool autoScroll = false;
    std::string log;
    bool tabFormat = false;
    int idleMs = 2000;
    int readyTimeoutMs = 30000;
    bool echo = false;
    bool show = false;
    int progressMs = 0;
    bool memoryScenario = false;
    int rows = 60000;
    int seconds = 10;
};

void Usage() {
    std::fprintf(stderr,
                 "usage: tarnwell_bench --path DIR [--subtree] [--filter BITS] "
                 "[--screen|--no-screen] [--max-lines N] [--auto-scroll] [--log FILE] "
                 "[--format csv|tab] [--idle-ms MS] [--ready-timeout-ms MS] [--echo] [--show] "
                 "[--progress-ms MS]\n"
                 "       tarnwell_bench --memory-scenario [--rows N] [--seconds S] "
                 "[--auto-scroll]\n");
}

bool ParseInt(const char* text, int& out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < -1000000000L || value > 1000000000L) return false;
    out = static_cast<int>(value);
    return true;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const char*& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        int number = 0;
        if (arg == "--path" && value(v)) {
            options.path = v;
        } else if (arg == "--subtree") {
            options.subtree = true;
        } else if (arg == "--filter" && value(v) && ParseInt(v, number) && number > 0) {
            options.filter = static_cast<unsigned>(number);
        } else if (arg == "--screen") {
            options.screen = true;
        } else if (arg == "--no-screen") {
            options.screen = false;
        } else if (arg == "--max-lines" && value(v) && ParseInt(v, number)) {
            options.maxLines = number;
        } else if (arg == "--auto-scroll") {
            options.autoScroll = true;
        } else if (arg == "--log" && value(v)) {
            options.log = v;
        } else if (arg == "--format" && value(v) &&
                   (std::strcmp(v, "csv") == 0 || std::strcmp(v, "tab") == 0)) {
            options.tabFormat = std::strcmp(v, "tab") == 0;
        } else if (arg == "--idle-ms" && value(v) && ParseInt(v, number) && number > 0) {
            options.idleMs = number;
        } else if (arg == "--ready-timeout-ms" && value(v) && ParseInt(v, number) && number > 0) {
            options.readyTimeoutMs = number;
        } else if (arg == "--echo") {
            options.echo = true;
        } else if (arg == "--show") {
            // What a user who watches the list has: rows on screen, following
            // the newest one.
            options.show = true;
            options.screen = true;
            options.autoScroll = true;
        } else if (arg == "--progress-ms" && value(v) && ParseInt(v, number) && number > 0) {
            options.progressMs = number;
        } else if (arg == "--memory-scenario") {
            options.memoryScenario = true;
        } else if (arg == "--rows" && value(v) && ParseInt(v, number) && number > 0) {
            options.rows = number;
        } else if (arg == "--seconds" && value(v) && ParseInt(v, number) && number > 0) {
            options.seconds = number;
        } else {
            std::fprintf(stderr, "tarnwell_bench: bad or incomplete argument %s\n", arg.c_str());
            return false;
        }
    }
    return true;
}

double EpochSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double PeakMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

// The resident memory now, from /proc: unlike the peak it can shrink, which a
// long run needs to tell growth from a passing high.
double ResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return 0;
}

// Durations in milliseconds, counted in 0.1 ms steps up to 10 s: a run of
// any length keeps the same few kilobytes, so a long run's memory is the
// program's own and not its measurement's.
class Histogram {
  public:
    void Add(double ms) {
        const auto step = static_cast<std::size_t>(std::max(ms, 0.0) * 10.0);
        ++counts_[std::min(step, counts_.size() - 1)];
        ++total_;
        max_ = std::max(max_, ms);
    }
    std::size_t Total() const { return total_; }
    double Max() const { return max_; }
    // p in [0, 1], to the step; 0 when empty.
    double Quantile(double p) const {
        if (total_ == 0) return 0;
        const auto rank = static_cast<std::size_t>(p * static_cast<double>(total_ - 1));
        std::size_t seen = 0;
        for (std::size_t step = 0; step < counts_.size(); ++step) {
            seen += counts_[step];
            if (seen > rank) return std::min(static_cast<double>(step) / 10.0 + 0.05, max_);
        }
        return max_;
    }

  private:
    std::vector<std::uint32_t> counts_ = std::vector<std::uint32_t>(100000);
    std::size_t total_ = 0;
    double max_ = 0;
};

// The inotify watches this process holds, from /proc: the directory read adds
// them inside the worker's first read, and the kernel records changes for a
// folder from the moment its watch exists. Counting them tells from outside
// the worker when changes start to count.
int InotifyWatchCount() {
    int count = 0;
    DIR* dir = ::opendir("/proc/self/fdinfo");
    if (dir == nullptr) return 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream info(std::string("/proc/self/fdinfo/") + entry->d_name);
        std::string line;
        while (std::getline(info, line))
            if (line.rfind("inotify wd:", 0) == 0) ++count;
    }
    ::closedir(dir);
    return count;
}

// The threads of this process, by id.
std::vector<std::string> ThreadIds() {
    std::vector<std::string> ids;
    DIR* dir = ::opendir("/proc/self/task");
    if (dir == nullptr) return ids;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.') ids.emplace_back(entry->d_name);
    ::closedir(dir);
    return ids;
}

// Whether one of `threads` waits in poll(2): the worker does once its first
// read has set up its watches and nothing has come yet. Cheap to ask, unlike
// the watch count, which costs the kernel a line per watch and would slow a
// big tree's set-up if asked every few milliseconds.
bool AnyWaitsInPoll(const std::vector<std::string>& threads) {
    for (const std::string& id : threads) {
        std::ifstream syscall("/proc/self/task/" + id + "/syscall");
        long number = -1;
        if (syscall >> number && (number == 7 || number == 271)) return true;  // poll, ppoll
    }
    return false;
}

// The folders the first read watches: the folder itself, and with the subtree
// every folder below it (links are not followed, as the directory read does).
int FoldersToWatch(const std::string& folder, bool subtree) {
    int count = 1;
    if (!subtree) return count;
    std::error_code error;
    namespace fs = std::filesystem;
    for (fs::recursive_directory_iterator
             it(folder, fs::directory_options::skip_permission_denied, error),
         end;
         it != end; it.increment(error)) {
        if (error) break;
        if (it->is_directory(error) && !it->is_symlink(error)) ++count;
    }
    return count;
}

// The folder part of what is typed into the path box: the text itself when it
// names a folder, else the part before its last "/" (then the rest is a mask).
std::string WatchedFolder(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return path;
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// Counts what the page's hand-overs do, from outside the worker: every
// routine a worker posts passes here on its way to the real Qt dispatcher.
class CountingDispatcher : public UiDispatcher {
  public:
    explicit CountingDispatcher(UiDispatcher& inner) : inner_(inner) {}

    // Runs on the user-interface thread around each served routine.
    std::function<void()> beforeServe;
    std::function<void()> afterServe;
    std::atomic<long> posted{0};

    void Post(std::function<void()> routine) override {
        ++posted;
        inner_.Post([this, routine = std::move(routine)] {
            if (beforeServe) beforeServe();
            // The routine's own error must still reach the waiting worker;
            // the count afterwards is wanted either way.
            struct After {
                CountingDispatcher& self;
                ~After() {
                    if (self.afterServe) self.afterServe();
                }
            } after{*this};
            routine();
        });
    }
    NoticeId ShowNotice(const std::string& text, std::function<void()> dismissed) override {
        std::fprintf(stderr, "tarnwell_bench: the worker reports: %s\n", text.c_str());
        return inner_.ShowNotice(text, std::move(dismissed));
    }
    void CloseNotice(NoticeId id) override { inner_.CloseNotice(id); }

  private:
    UiDispatcher& inner_;
};

template <typename Control>
Control* Find(QWidget& page, const char* name) {
    auto* control = page.findChild<Control*>(QLatin1String(name));
    if (control == nullptr) {
        std::fprintf(stderr, "tarnwell_bench: the page has no control %s\n", name);
        std::exit(2);
    }
    return control;
}

// Sets the page's controls as a user would before pressing Start.
void SetControls(TfrmWatcher& page, const Options& options) {
    Find<QComboBox>(page, "cboPath")->setEditText(QString::fromLocal8Bit(options.path));
    Find<QCheckBox>(page, "chkIncludeSub")->setChecked(options.subtree);
    const std::pair<const char*, unsigned> boxes[] = {
        {"chkFlagCreateFile", 1},    {"chkFlagCreateDir", 2},  {"chkFlagAttributes", 4},
        {"chkFlagFileSize", 8},      {"chkFlagLastWrite", 16}, {"chkFlagLastAccess", 32},
        {"chkFlagCreationTime", 64}, {"chkFlagSecurity", 256},
    };
    for (const auto& [name, bit] : boxes)
        Find<QCheckBox>(page, name)->setChecked((options.filter & bit) != 0);
    Find<QCheckBox>(page, "chkOutputToScreen")->setChecked(options.screen);
    Find<MaxLinesSpinBox>(page, "txtMaxLines")->setValue(options.maxLines);
    Find<QCheckBox>(page, "chkAutoScroll")->setChecked(options.autoScroll);
    Find<QCheckBox>(page, "chkOutputToFile")->setChecked(!options.log.empty());
    Find<QLineEdit>(page, "txtOutputFileName")->setText(QString::fromLocal8Bit(options.log));
    Find<QRadioButton>(page, options.tabFormat ? "optTab" : "optCSV")->setChecked(true);
}

// The page refuses a start with a modal box; headless, that box would wait
// forever, so the driver refuses first, with the page's reasons.
bool CheckSettings(const Options& options) {
    unsigned known = 1 | 2 | 4 | 8 | 16 | 32 | 64 | 256;
    if ((options.filter & known) == 0 || (options.filter & ~known) != 0) {
        std::fprintf(stderr, "tarnwell_bench: --filter must be a set of the bits 1..64 and 256\n");
        return false;
    }
    if (!options.screen && options.log.empty()) {
        std::fprintf(stderr, "tarnwell_bench: output must go to the screen, a --log, or both\n");
        return false;
    }
    if (!options.log.empty()) {
        std::FILE* probe = std::fopen(options.log.c_str(), "ab");
        if (probe == nullptr) {
            std::fprintf(stderr, "tarnwell_bench: cannot open %s\n", options.log.c_str());
            return false;
        }
        std::fclose(probe);
    }
    struct stat st {};
    const std::string folder = WatchedFolder(options.path);
    if (options.path.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "tarnwell_bench: %s is not a folder to watch\n", folder.c_str());
        return false;
    }
    return true;
}

struct LogCount {
    long lines = 0;
    long overflows = 0;
};

// Lines end in "\r\n"; an overflow line is the one with an empty action word.
LogCount CountLogLines(const std::string& name, bool tabFormat) {
    LogCount count;
    std::ifstream file(name, std::ios::binary);
    std::string line;
    const std::string emptyAction = tabFormat ? "\t\t." : "\",\"\",";
    while (std::getline(file, line)) {
        if (line.empty() || line.back() != '\r') continue;
        ++count.lines;
        if (line.find(emptyAction) != std::string::npos) ++count.overflows;
    }
    return count;
}

// SIGINT and SIGTERM end the run like a Stop: the handler only writes to a
// pipe that the event loop watches.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

void InstallSignalHandlers() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("tarnwell_bench: pipe");
        std::exit(2);
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int RunWatch(const Options& options) {
    if (!CheckSettings(options)) return 2;
    InstallSignalHandlers();

    QtDispatcher qtDispatcher;
    CountingDispatcher dispatcher(qtDispatcher);
    WatchServices services;
    const WatchContext context{dispatcher, services.Batch()};
    std::unique_ptr<TfrmMain> window;
    std::unique_ptr<TfrmWatcher> ownPage;
    if (options.show) {
        window = std::make_unique<TfrmMain>(context);
        window->show();
        // The first page comes with the first show; the run starts once the
        // window is on screen and has painted, as a user would see it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while ((window->windowHandle() == nullptr || !window->windowHandle()->isExposed() ||
                window->ActivePage() == nullptr) &&
               std::chrono::steady_clock::now() < deadline)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (window->ActivePage() == nullptr || !window->windowHandle()->isExposed()) {
            std::fprintf(stderr, "tarnwell_bench: the main window did not come on screen\n");
            return 2;
        }
    } else {
        ownPage = std::make_unique<TfrmWatcher>(context);
    }
    TfrmWatcher& page = options.show ? *window->ActivePage() : *ownPage;
    SetControls(page, options);
    auto* model = page.findChild<ResultsModel*>();
    if (model == nullptr) {
        std::fprintf(stderr, "tarnwell_bench: the page has no results model\n");
        return 2;
    }

    long rowsAdded = 0;
    long overflowRows = 0;
    QObject::connect(model, &ResultsModel::RowAppended, model, [&](int row) {
        const ResultsModel::Row& cells = model->At(row);
        ++rowsAdded;
        if (cells[2].empty()) ++overflowRows;
        if (!options.echo) return;
        std::string line;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (c > 0) line += '\t';
            line += cells[c];
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    });

    // Each served routine is a hand-over of the page's worker; one that raised
    // the change count made a report.
    std::int32_t countBefore = 0;
    std::int32_t changesCounted = 0;
    double firstReport = 0;
    double lastReport = 0;
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(options.idleMs);
    // Hand-overs that made a report, by when they began and how long they took.
    double serveBegan = 0;
    double firstServeBegan = 0;
    Histogram handOverMs;

    // The gaps that began while changes were being reported count: from the
    // start of the first hand-over that reported to the last report. Gaps
    // wait in `pending` until a report shows they fall inside.
    Histogram gapsMs;
    struct Gap {
        double start;
        double ms;
    };
    std::deque<Gap> pending;
    double lastTick = 0;
    const auto commitPending = [&](double until) {
        for (const Gap& gap : pending)
            if (gap.start >= firstServeBegan - 0.010 && gap.start <= until) gapsMs.Add(gap.ms);
        pending.clear();
    };
    QTimer gapTimer;
    gapTimer.setTimerType(Qt::PreciseTimer);
    gapTimer.setInterval(10);
    QObject::connect(&gapTimer, &QTimer::timeout, [&] {
        const double now = EpochSeconds();
        if (lastTick > 0) pending.push_back(Gap{lastTick, (now - lastTick) * 1000.0});
        lastTick = now;
        // Before the first report only the last moment can still count.
        while (firstReport == 0 && !pending.empty() && now - pending.front().start > 1.0)
            pending.pop_front();
    });
    dispatcher.beforeServe = [&] {
        countBefore = page.Worker() ? page.Worker()->ChangeCount : 0;
        serveBegan = EpochSeconds();
        // Ticking from the first hand-over on: a watch with nothing to
        // report is measured without the timer's own wake-ups.
        if (!gapTimer.isActive()) gapTimer.start();
    };
    bool noticeShown = false;
    dispatcher.afterServe = [&] {
        // The page's notice (the system's watch limit) would be a box on screen.
        if (!noticeShown && page.WatchNotice() != nullptr) {
            noticeShown = true;
            std::fprintf(stderr, "tarnwell_bench: notice: %s\n",
                         page.WatchNotice()->text().toLocal8Bit().constData());
        }
        if (!page.Worker()) return;
        changesCounted = page.Worker()->ChangeCount;
        if (changesCounted != countBefore) {
            lastReport = EpochSeconds();
            if (firstReport == 0) {
                firstReport = lastReport;
                firstServeBegan = serveBegan;
            }
            handOverMs.Add((lastReport - serveBegan) * 1000.0);
            commitPending(lastReport);
            idle.start();
        }
    };

    // The user-interface thread's availability: when a 10 ms timer ticked.

    // A long run tells how it goes while it goes: one JSON line on standard
    // error every --progress-ms.
    QTimer progress;
    progress.setInterval(options.progressMs > 0 ? options.progressMs : 1000);
    QObject::connect(&progress, &QTimer::timeout, [&] {
        const std::int32_t changes = page.Worker() ? page.Worker()->ChangeCount : changesCounted;
        std::fprintf(stderr,
                     "{\"progress\":%.3f,\"changes\":%d,\"cpu_s\":%.4f,\"rss_mb\":%.2f,"
                     "\"rows\":%d}\n",
                     EpochSeconds(), changes, CpuSeconds(), ResidentMegabytes(), model->rowCount());
        std::fflush(stderr);
    });

    bool ready = false;
    bool stopped = false;
    double readyAt = 0;
    double cpuAtReady = 0;
    double rssAtReady = 0;
    std::string stopReason;
    const auto stop = [&](const char* reason) {
        if (stopped) return;
        stopped = true;
        stopReason = reason;
        if (page.Worker()) changesCounted = page.Worker()->ChangeCount;
        QApplication::quit();
    };
    QObject::connect(&idle, &QTimer::timeout, [&] { stop("idle"); });

    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&] { stop("signal"); });

    const int foldersToWatch = FoldersToWatch(WatchedFolder(options.path), options.subtree);
    const auto startedAt = std::chrono::steady_clock::now();
    // A subtree whose watches stop short of the folders that exist is still
    // a watch that runs; it is declared ready once its count has stood still
    // for a while, with a warning, so the missing folders show in the results
    // instead of hanging the run.
    constexpr auto kSettled = std::chrono::milliseconds(500);
    int lastWatchCount = -1;
    auto lastWatchChange = startedAt;
    QTimer readyPoll;
    readyPoll.setInterval(1);
    // The worker's thread is the one that comes with the page's Start.
    const std::vector<std::string> threadsBefore = ThreadIds();
    std::vector<std::string> workerThreads;
    QObject::connect(&readyPoll, &QTimer::timeout, [&] {
        if (!page.Worker() || page.Worker()->Ended) {
            readyPoll.stop();
            stop("ended");
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (workerThreads.empty()) {
            for (std::string& id : ThreadIds())
                if (std::find(threadsBefore.begin(), threadsBefore.end(), id) ==
                    threadsBefore.end())
                    workerThreads.push_back(std::move(id));
        }
        // Without a thread of its own to look at, the count is all there is.
        const bool waiting = workerThreads.empty() || AnyWaitsInPoll(workerThreads);
        // Counting a big tree's watches takes a while itself: the set-up was
        // over when the worker was seen waiting.
        const double seenAt = EpochSeconds();
        const int watches = waiting ? InotifyWatchCount() : std::max(lastWatchCount, 0);
        if (watches != lastWatchCount) {
            lastWatchCount = watches;
            lastWatchChange = now;
        }
        const bool settledShort = watches > 0 && now - lastWatchChange >= kSettled;
        if (watches >= foldersToWatch || settledShort) {
            readyPoll.stop();
            if (watches < foldersToWatch)
                std::fprintf(stderr, "tarnwell_bench: only %d of %d folders are watched\n", watches,
                             foldersToWatch);
            ready = true;
            readyAt = seenAt;
            cpuAtReady = CpuSeconds();
            rssAtReady = ResidentMegabytes();
            std::fprintf(stderr, "ready\n");
            std::fflush(stderr);
            idle.start();
            if (options.progressMs > 0) progress.start();
            return;
        }
        if (now - startedAt > std::chrono::milliseconds(options.readyTimeoutMs)) {
            readyPoll.stop();
            std::fprintf(stderr, "tarnwell_bench: the watches were not set up in time\n");
            stop("not-ready");
        }
    });

    const double startedAtEpoch = EpochSeconds();
    page.StartWatch();
    if (!page.Worker()) {
        std::fprintf(stderr, "tarnwell_bench: the page did not start the watch\n");
        return 2;
    }
    readyPoll.start();
    QApplication::exec();
    gapTimer.stop();
    progress.stop();

    if (firstReport > 0) commitPending(lastReport);

    const int rows = model->rowCount();
    const double stoppedAt = EpochSeconds();
    page.StopWatch();  // shuts the worker down and closes the log, flushing it
    const double cpu = CpuSeconds();
    LogCount logCount;
    if (!options.log.empty()) logCount = CountLogLines(options.log, options.tabFormat);

    std::printf(
        "{\"tool\":\"tarnwell\",\"stop\":%s,\"ready\":%s,\"changes\":%d,\"rows_added\":%ld,"
        "\"rows\":%d,\"log_lines\":%ld,\"reads\":%ld,\"overflow_rows\":%ld,"
        "\"overflow_log_lines\":%ld,\"ready_at\":%.6f,\"first_report\":%.6f,"
        "\"last_report\":%.6f,\"stopped_at\":%.6f,\"cpu_s\":%.4f,\"cpu_after_ready_s\":%.4f,"
        "\"peak_mb\":%.1f,\"started_at\":%.6f,\"rss_mb_at_ready\":%.2f,\"folders\":%d,"
        "\"shown\":%s,\"handovers\":%zu,\"handover_max_ms\":%.2f,\"handover_p99_ms\":%.2f,"
        "\"ui_gaps\":%zu,\"ui_gap_p50_ms\":%.2f,\"ui_gap_p99_ms\":%.2f,\"ui_gap_max_ms\":%.2f}\n",
        JsonString(stopReason).c_str(), ready ? "true" : "false", changesCounted, rowsAdded, rows,
        logCount.lines, dispatcher.posted.load(), overflowRows, logCount.overflows, readyAt,
        firstReport, lastReport, stoppedAt, cpu, ready ? cpu - cpuAtReady : 0.0, PeakMegabytes(),
        startedAtEpoch, rssAtReady, foldersToWatch, options.show ? "true" : "false",
        handOverMs.Total(), handOverMs.Max(), handOverMs.Quantile(0.99), gapsMs.Total(),
        gapsMs.Quantile(0.5), gapsMs.Quantile(0.99), gapsMs.Max());
    std::fflush(stdout);
    return ready ? 0 : 1;
}

// The results list alone, through the surface the worker reports to: Append (and the
// scroll when asked) then TrimResults, the two steps every report makes.
int RunMemoryScenario(const Options& options) {
    QtDispatcher qtDispatcher;
    WatchServices services;
    TfrmWatcher page(WatchContext{qtDispatcher, services.Batch()});
    Find<MaxLinesSpinBox>(page, "txtMaxLines")->setValue(options.rows);
    Find<QCheckBox>(page, "chkAutoScroll")->setChecked(options.autoScroll);
    PageSurface& surface = page.Logic();

    // Rows of the length a real watch makes: a time stamp, a path of a few
    // folders, a word, a size, an owner.
    const std::string stamp = FormatTimeStamp(LocalNow(), services.Batch().regional);
    long serial = 0;
    const auto nextRow = [&] {
        ++serial;
        return ResultRow{stamp,
                         "/tmp/tarnwell-bench/run/sub" + std::to_string(serial % 100) + "/file_" +
                             std::to_string(serial) + ".txt",
                         "Created", std::to_string(serial % 100000), "benchhost\\root"};
    };
    for (int i = 0; i < options.rows; ++i) {
        const int index = surface.AppendRow(nextRow());
        if (surface.AutoScroll()) surface.MakeRowVisible(index);
        TrimResults(surface);
    }
    const double peakAfterFill = PeakMegabytes();

    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(options.seconds) * 1000);
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(options.seconds);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (std::chrono::steady_clock::now() >= until) {
            tick.stop();
            QApplication::quit();
            return;
        }
        ResultRow row = nextRow();
        const auto begin = std::chrono::steady_clock::now();
        // As a hand-over of one record makes them: within the page's batch.
        surface.BeginBatch();
        const int index = surface.AppendRow(std::move(row));
        if (surface.AutoScroll()) surface.MakeRowVisible(index);
        TrimResults(surface);
        surface.EndBatch();
        const auto end = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(end - begin).count());
    });
    tick.start();
    QApplication::exec();

    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) {
        if (micros.empty()) return 0.0;
        return micros[static_cast<std::size_t>(q * static_cast<double>(micros.size() - 1))];
    };
    std::printf(
        "{\"tool\":\"tarnwell\",\"scenario\":\"memory\",\"rows\":%d,\"appends\":%zu,"
        "\"append_trim_median_us\":%.2f,\"append_trim_p99_us\":%.2f,\"append_trim_max_us\":%.2f,"
        "\"peak_mb_after_fill\":%.1f,\"peak_mb\":%.1f,\"cpu_s\":%.4f}\n",
        page.RowCount(), micros.size(), at(0.5), at(0.99), micros.empty() ? 0.0 : micros.back(),
        peakAfterFill, PeakMegabytes(), CpuSeconds());
    std::fflush(stdout);
    return 0;
}

}  // namespace
}  // namespace tarnwell

int main(int argc, char** argv) {
    tarnwell::Options options;
    if (!tarnwell::ParseOptions(argc, argv, options)) {
        tarnwell::Usage();
        return 2;
    }
    if (!options.memoryScenario && options.path.empty()) {
        tarnwell::Usage();
        return 2;
    }
    // Without a display the widgets still need a platform; offscreen paints a
    // shown window as a screen would.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return options.memoryScenario ? tarnwell::RunMemoryScenario(options)
                                  : tarnwell::RunWatch(options);
}
