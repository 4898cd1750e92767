// A real folder read with inotify and processed by the engine's batch
// processing, with the real text and file services: the rows and log lines
// a watch gives.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/notify_codes.h"
#include "engine/process_changes.h"
#include "engine/watch_settings.h"
#include "platform/directory_reader.h"
#include "platform/file_queries.h"
#include "platform/path_syntax.h"
#include "platform/system_text.h"
#include "support/fake_services.h"
#include "support/hold_after_read.h"
#include "support/stream_contents.h"

namespace tarnwell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string ExpectedOwner() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    std::string shortHost(host);
    const passwd* pw = ::getpwuid(::getuid());
    return shortHost.substr(0, shortHost.find('.')) + "\\" + (pw ? pw->pw_name : "");
}

// One watch of a fresh folder, read on a thread of its own as the worker
// does, each batch processed under a lock that a test may hold.
class EngineWatch {
  public:
    EngineWatch(std::string mask, std::int32_t logFormat, bool subtree = true)
        : mask_(std::move(mask)), logFormat_(logFormat), subtree_(subtree) {
        char pattern[] = "/tmp/tarnwell-engine-XXXXXX";
        if (::mkdtemp(pattern) != nullptr) directory = pattern;
        log_ = std::tmpfile();
    }
    ~EngineWatch() {
        Stop();
        if (log_ != nullptr) std::fclose(log_);
        std::error_code ec;
        if (!directory.empty()) fs::remove_all(directory, ec);
    }

    // Opens the folder and waits until the watch reports a probe; the rows
    // and the log start empty.
    bool Start() {
        if (directory.empty() || log_ == nullptr) return false;
        handle_ = OpenDirectory(directory);
        if (handle_ == nullptr) return false;
        worker_ = std::thread([this] { Run(); });
        // A probe that the masks used here pass: its deletion by a name of its own
        // shows that nothing of earlier probes is still on its way.
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        bool watching = false;
        const std::string probe = directory + "/probe.txt";
        while (!watching && std::chrono::steady_clock::now() < deadline) {
            std::ofstream(probe).close();
            fs::remove(probe);
            std::unique_lock lock(mutex_);
            watching = changed_.wait_for(lock, 20ms, [&] { return !page.rows.empty(); });
        }
        if (!watching) return false;
        const std::string last = directory + "/probe-last.txt";
        std::ofstream(last).close();
        fs::remove(last);
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, 10s, [&] {
                for (const auto& row : page.rows)
                    if (row[1] == last && row[2] == "Deleted") return true;
                return false;
            }))
            return false;
        page.rows.clear();
        changeCount_ = 0;
        std::fflush(log_);
        if (::ftruncate(::fileno(log_), 0) != 0) return false;
        std::rewind(log_);
        return true;
    }

    bool RowsSeen(std::size_t n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 20s, [&] { return page.rows.size() >= n; });
    }

    // Keeps the batches from being processed, and so the worker from reading
    // again, until the lock is let go: what happens meanwhile waits in the
    // kernel. `trigger` makes one read return first.
    std::unique_lock<std::mutex> HoldAfterRead(const std::function<void()>& trigger) {
        return test::HoldAfterRead(mutex_, returned_, trigger);
    }

    void Stop() {
        stop_.Raise();
        if (worker_.joinable()) worker_.join();
        CloseDirectory(handle_);
        handle_ = nullptr;
    }

    std::vector<ResultRow> Rows() {
        std::lock_guard lock(mutex_);
        return {page.rows.begin(), page.rows.end()};
    }
    std::string Log() {
        std::lock_guard lock(mutex_);
        return test::StreamContents(log_);
    }

    std::string directory;
    test::FakePageSurface page;

  private:
    void Run() {
        const auto text = MakeSystemText();
        const auto files = MakeFileQueries();
        const RegionalSettings regional;  // United States English
        BatchServices services{*text, *files, NativePathSyntax(), regional,
                               [] { return LocalDateTime{2006, 6, 14, 15, 4, 5, 0}; }};
        BatchTarget target{directory, mask_, page, 1, logFormat_, log_, changeCount_, logFailed_};
        std::vector<std::byte> buffer(kChangeBufferSize);
        for (;;) {
            std::fill(buffer.begin(), buffer.end(), std::byte{0});
            const ReadOutcome outcome = ReadDirectoryChanges(
                handle_, buffer.data(), buffer.size(), subtree_,
                FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, stop_);
            if (outcome != ReadOutcome::Filled) return;
            ++returned_;
            std::lock_guard lock(mutex_);
            std::size_t currentRecord = 0;
            ProcessChangeBatch(buffer.data(), buffer.size(), currentRecord, target, services);
            changed_.notify_all();
        }
    }

    std::string mask_;
    std::int32_t logFormat_;
    bool subtree_;
    std::FILE* log_ = nullptr;
    std::int32_t changeCount_ = 0;
    bool logFailed_ = false;
    FolderHandle handle_ = nullptr;
    StopSignal stop_;
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<int> returned_{0};
};

std::string CsvLine(const ResultRow& row) {
    return row[0] + ",\"" + row[1] + "\",\"" + row[2] + "\"," + row[3] + ",\"" + row[4] + "\"\r\n";
}

const std::string kStamp = "6/14/2006 3:04:05 PM";

TEST(LinuxWatchThroughEngine, MaskedFolderGivesRowsAndCsvLines) {
    EngineWatch watch("*.txt", LogFormatCsv);
    const std::string& directory = watch.directory;
    ASSERT_FALSE(directory.empty());
    std::ofstream(directory + "/old.txt") << "old";
    ASSERT_TRUE(watch.Start());

    std::ofstream(directory + "/a.tmp") << "hello";
    fs::rename(directory + "/a.tmp", directory + "/a.txt");
    std::ofstream(directory + "/b.doc").close();
    fs::create_directory(directory + "/sub");
    std::ofstream(directory + "/sub/c.TXT").close();
    ASSERT_TRUE(watch.RowsSeen(2));  // in order: sub/c.TXT is reported before old.txt goes
    fs::remove(directory + "/old.txt");
    std::ofstream(directory + "/zz.txt").close();
    ASSERT_TRUE(watch.RowsSeen(4));
    watch.Stop();

    const std::string owner = ExpectedOwner();
    const std::vector<ResultRow> expected{
        {kStamp, directory + "/a.txt", "Renamed - To", "5", owner},
        {kStamp, directory + "/sub/c.TXT", "Created", "0", owner},
        {kStamp, directory + "/old.txt", "Deleted", "0", ""},
        {kStamp, directory + "/zz.txt", "Created", "0", owner},
    };
    EXPECT_EQ(watch.Rows(), expected);
    EXPECT_EQ(watch.page.changeCountText, "4");
    std::string csv;
    for (const ResultRow& row : expected) csv += CsvLine(row);
    EXPECT_EQ(watch.Log(), csv);
}

// More changes than the kernel's queue holds while the reader cannot read:
// the overflow row for the watched folder shows although its empty name does
// not match the mask, and the files are counted once only after it.
TEST(LinuxWatchThroughEngine, KernelOverflowIsShownUnderAMask) {
    int kernelQueue = 16384;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> kernelQueue;
    EngineWatch watch("*.txt", LogFormatCsv, false);
    const std::string& directory = watch.directory;
    ASSERT_TRUE(watch.Start());
    {
        auto hold = watch.HoldAfterRead([&] { std::ofstream(directory + "/first.bin").close(); });
        for (int i = 0; i < kernelQueue + 200; ++i) {
            const std::string name = directory + "/f" + std::to_string(i) + ".bin";
            const int fd = ::open(name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
            ASSERT_GE(fd, 0);
            ::close(fd);
        }
    }
    ASSERT_TRUE(watch.RowsSeen(1));
    watch.Stop();
    const std::vector<ResultRow> rows = watch.Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], directory + "/");
    EXPECT_EQ(rows[0][2], "");
    EXPECT_EQ(rows[0][4], ExpectedOwner());
    EXPECT_EQ(watch.Log(), CsvLine(rows[0]));
}

// bad<FF>.txt is shown as bad?.txt, and a file really named bad?.txt lies
// beside it: the size and owner reported are those of the file that changed.
TEST(LinuxWatchThroughEngine, NameThatIsNotUtf8IsLookedUpByItsOwnBytes) {
    EngineWatch watch("*", LogFormatTab, false);
    const std::string& directory = watch.directory;
    std::ofstream(directory + "/bad?.txt") << "someone else's file, longer";
    ASSERT_TRUE(watch.Start());
    // Written elsewhere and moved in whole, so its size is known when its
    // row is made.
    const std::string staged = directory + "-staged";
    std::ofstream(staged) << "mine!";
    fs::rename(staged, directory + "/bad\xff.txt");
    ASSERT_TRUE(watch.RowsSeen(1));
    watch.Stop();
    EXPECT_EQ(watch.Rows(), (std::vector<ResultRow>{{kStamp, directory + "/bad?.txt", "Created",
                                                     "5", ExpectedOwner()}}));
}

// Names a Linux folder may hold and a Windows one cannot: each change stays
// one line with its five fields, in both formats, byte for byte.
TEST(LinuxWatchThroughEngine, HostileNamesGiveOneLineOfFiveFieldsEach) {
    const std::vector<std::string> names = {
        "x\r\n6-14-2006 3:04:05 PM,\"passwd\",\"Deleted\",0,\"\".txt",
        "say \"hi\".txt",
        "tab\there.txt",
        std::string("bell\x07.txt"),
    };
    const std::vector<std::string> shownNames = {
        "x\\r\\n6-14-2006 3:04:05 PM,\"passwd\",\"Deleted\",0,\"\".txt",
        "say \"hi\".txt",
        "tab\\there.txt",
        "bell\\x07.txt",
    };
    const std::vector<std::string> csvNames = {
        "x\\r\\n6-14-2006 3:04:05 PM,\"\"passwd\"\",\"\"Deleted\"\",0,\"\"\"\".txt",
        "say \"\"hi\"\".txt",
        "tab\\there.txt",
        "bell\\x07.txt",
    };
    for (const std::int32_t format : {LogFormatCsv, LogFormatTab}) {
        SCOPED_TRACE(format == LogFormatCsv ? "CSV" : "Tab");
        EngineWatch watch("*", format, false);
        const std::string& directory = watch.directory;
        ASSERT_TRUE(watch.Start());
        for (const std::string& name : names) std::ofstream(directory + "/" + name).close();
        ASSERT_TRUE(watch.RowsSeen(names.size()));
        watch.Stop();
        const std::string owner = ExpectedOwner();
        std::string expected;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string shown = directory + "/" + shownNames[i];
            EXPECT_EQ(watch.Rows()[i], (ResultRow{kStamp, shown, "Created", "0", owner}));
            if (format == LogFormatCsv)
                expected += kStamp + ",\"" + directory + "/" + csvNames[i] + "\",\"Created\",0,\"" +
                            owner + "\"\r\n";
            else
                expected += kStamp + "\t" + shown + "\tCreated\t.0\t" + owner + "\r\n";
        }
        EXPECT_EQ(watch.Log(), expected);
    }
}

}  // namespace
}  // namespace tarnwell
