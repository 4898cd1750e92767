// A real folder read with inotify and processed by the engine's batch
// processing, with the real text and file services: the rows and CSV lines a
// watch with the mask *.txt gives.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

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

TEST(LinuxWatchThroughEngine, MaskedFolderGivesRowsAndCsvLines) {
    char pattern[] = "/tmp/tarnwell-engine-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string directory = pattern;
    std::ofstream(directory + "/old.txt") << "old";

    test::FakePageSurface page;
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    const std::string mask = "*.txt";
    std::int32_t changeCount = 0;
    bool logFailed = false;
    BatchTarget target{directory, mask, page, 1, LogFormatCsv, log, changeCount, logFailed};
    const auto text = MakeSystemText();
    const auto files = MakeFileQueries();
    const RegionalSettings regional;  // United States English
    BatchServices services{*text, *files, NativePathSyntax(), regional,
                           [] { return LocalDateTime{2006, 6, 14, 15, 4, 5, 0}; }};

    FolderHandle handle = OpenDirectory(directory);
    ASSERT_NE(handle, nullptr);
    StopSignal stop;
    std::mutex mutex;
    std::condition_variable changed;
    std::thread worker([&] {
        std::vector<std::byte> buffer(kChangeBufferSize);
        for (;;) {
            std::fill(buffer.begin(), buffer.end(), std::byte{0});
            const ReadOutcome outcome = ReadDirectoryChanges(
                handle, buffer.data(), buffer.size(), true,
                FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, stop);
            if (outcome != ReadOutcome::Filled) return;
            std::lock_guard lock(mutex);
            std::size_t currentRecord = 0;
            ProcessChangeBatch(buffer.data(), buffer.size(), currentRecord, target, services);
            changed.notify_all();
        }
    });
    // Ends the reads however the test ends, so no failed check leaves the
    // thread running.
    struct Joiner {
        StopSignal& stop;
        std::thread& thread;
        ~Joiner() {
            stop.Raise();
            if (thread.joinable()) thread.join();
        }
    } joiner{stop, worker};
    auto rowsSeen = [&](std::size_t n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return page.rows.size() >= n; });
    };

    // The watch exists once the first read has set it up; a probe that the
    // mask passes shows when.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    bool watching = false;
    while (!watching && std::chrono::steady_clock::now() < deadline) {
        std::ofstream(directory + "/probe.txt").close();
        fs::remove(directory + "/probe.txt");
        std::unique_lock lock(mutex);
        watching = changed.wait_for(lock, 20ms, [&] { return !page.rows.empty(); });
    }
    ASSERT_TRUE(watching);
    // Rows of earlier probes may still be on their way. Changes arrive in
    // order, so once the deletion of a last probe with a name of its own has
    // been reported, nothing of the earlier ones is left to come.
    const std::string lastProbe = directory + "/probe-last.txt";
    std::ofstream(lastProbe).close();
    fs::remove(lastProbe);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 10s, [&] {
            for (const auto& row : page.rows)
                if (row[1] == lastProbe && row[2] == "Deleted") return true;
            return false;
        }));
    }
    {
        std::lock_guard lock(mutex);
        page.rows.clear();
        changeCount = 0;
        std::fflush(log);
        ASSERT_EQ(::ftruncate(::fileno(log), 0), 0);
        std::rewind(log);
    }

    std::ofstream(directory + "/a.tmp") << "hello";
    fs::rename(directory + "/a.tmp", directory + "/a.txt");
    std::ofstream(directory + "/b.doc").close();
    fs::create_directory(directory + "/sub");
    std::ofstream(directory + "/sub/c.TXT").close();
    ASSERT_TRUE(rowsSeen(2));  // in order: sub/c.TXT is reported before old.txt goes
    fs::remove(directory + "/old.txt");
    std::ofstream(directory + "/zz.txt").close();
    ASSERT_TRUE(rowsSeen(4));

    stop.Raise();
    worker.join();
    CloseDirectory(handle);
    handle = nullptr;

    const std::string owner = ExpectedOwner();
    const std::string stamp = "6/14/2006 3:04:05 PM";
    const std::vector<ResultRow> expected{
        {stamp, directory + "/a.txt", "Renamed - To", "5", owner},
        {stamp, directory + "/sub/c.TXT", "Created", "0", owner},
        {stamp, directory + "/old.txt", "Deleted", "0", ""},
        {stamp, directory + "/zz.txt", "Created", "0", owner},
    };
    EXPECT_EQ(std::vector<ResultRow>(page.rows.begin(), page.rows.end()), expected);
    EXPECT_EQ(page.changeCountText, "4");

    std::string csv;
    for (const ResultRow& row : expected)
        csv +=
            row[0] + ",\"" + row[1] + "\",\"" + row[2] + "\"," + row[3] + ",\"" + row[4] + "\"\r\n";
    std::fflush(log);
    std::rewind(log);
    std::string written;
    char chunk[512];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, log)) > 0;)
        written.append(chunk, n);
    EXPECT_EQ(written, csv);
    std::fclose(log);
    fs::remove_all(directory);
}

}  // namespace
}  // namespace tarnwell
