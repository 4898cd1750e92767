#pragma once
// What the worker tests share: a page that records its rows, services that
// count the batches they serve, and a fixture that starts and stops workers on
// a temporary folder the way the page does.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/notify_codes.h"
#include "engine/thread.h"
#include "platform/file_queries.h"
#include "platform/path_syntax.h"
#include "platform/regional_settings.h"
#include "platform/system_text.h"
#include "support/test_dispatcher.h"

namespace tarnwell::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kWait = 5s;  // generous: only a failing test waits this long

class FakePage : public PageSurface {
  public:
    bool OutputToScreen() const override { return true; }
    bool AutoScroll() const override { return true; }
    int MaxLines() const override { return 1000; }
    int AppendRow(ResultRow row) override {
        if (failAppend) throw std::runtime_error("the list cannot take a row");
        appendThreads.push_back(std::this_thread::get_id());
        rows.push_back(std::move(row));
        return static_cast<int>(rows.size()) - 1;
    }
    void MakeRowVisible(int) override {}
    int RowCount() const override { return static_cast<int>(rows.size()); }
    void DeleteFirstRow() override { rows.erase(rows.begin()); }
    void SetChangeCountText(const std::string& text) override { countText = text; }
    void LogWriteFailed(int) override { ++logFailures; }

    std::vector<std::pair<std::string, std::string>> PathsAndWords() const {
        std::vector<std::pair<std::string, std::string>> result;
        for (const auto& row : rows) result.emplace_back(row[1], row[2]);
        return result;
    }

    bool failAppend = false;
    std::vector<ResultRow> rows;
    std::vector<std::thread::id> appendThreads;
    std::string countText;
    int logFailures = 0;
};

// The real file queries, counting the batches they are asked for: a batch
// that matched nothing still shows the worker is reading.
class CountingFileQueries : public FileQueries {
  public:
    void BeginBatch() override {
        ++batches;
        real_->BeginBatch();
    }
    FileFacts FactsOf(const std::string& path) override { return real_->FactsOf(path); }
    int batches = 0;

  private:
    std::unique_ptr<FileQueries> real_ = MakeFileQueries();
};

// One set of services per worker, so each worker's batches can be told apart.
struct Services {
    std::unique_ptr<SystemText> text = MakeSystemText();
    CountingFileQueries files;
    RegionalSettings regional;
    BatchServices batch{*text, files, NativePathSyntax(), regional,
                        [] { return LocalDateTime{2024, 5, 6, 7, 8, 9, 0}; }};
};

class WorkerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::temp_directory_path() /
                ("tarnwell-worker-" + std::string(info->name()) + "-" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        watched_ = root_ / "watched";
        fs::create_directories(watched_);
    }
    void TearDown() override {
        for (auto& worker : workers_)
            if (worker) StopWatch(worker);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // Created suspended and filled as the page fills it; only "*.txt" matches,
    // so the probes of WaitUntilWatching reach no row and no count.
    CProcessThread& MakeWorker(FakePage& page, Services& services, std::string directory) {
        auto worker = std::make_unique<CProcessThread>(ui_, services.batch);
        worker->OwnerPage = &page;
        worker->Directory = std::move(directory);
        worker->Mask = "*.txt";
        worker->Filter = FILE_NOTIFY_CHANGE_FILE_NAME;
        worker->LogFormat = LogFormatCsv;
        workers_.push_back(std::move(worker));
        return *workers_.back();
    }
    CProcessThread& MakeWorker(FakePage& page, Services& services) {
        return MakeWorker(page, services, watched_.string());
    }

    void OpenLog(CProcessThread& worker) {
        worker.OutputToFile = 1;
        worker.LogFileName = (root_ / "log.csv").string();
        worker.LogFile = std::fopen(worker.LogFileName.c_str(), "wb+");
        ASSERT_NE(worker.LogFile, nullptr);
    }

    std::string ReadLog() const {
        std::ifstream in(root_ / "log.csv", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // The page's stop, in its order.
    void StopWatch(CProcessThread& worker) {
        for (auto& owned : workers_)
            if (owned.get() == &worker) StopWatch(owned);
    }
    void StopWatch(std::unique_ptr<CProcessThread>& worker) {
        worker->Shutdown();
        if (worker->DirectoryHandle != nullptr) CloseDirectory(worker->DirectoryHandle);
        if (worker->LogFile != nullptr) std::fclose(worker->LogFile);
        worker.reset();
    }

    // Changes count from the first read on, which the test cannot see begin:
    // create probes until every worker has handed over a batch.
    void WaitUntilWatching(const std::vector<Services*>& services) {
        auto allSeen = [&] {
            for (const Services* s : services)
                if (s->files.batches == 0) return false;
            return true;
        };
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        for (int probe = 0; !allSeen(); ++probe) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the worker never read";
            Touch("probe-" + std::to_string(probe) + ".tmp");
            ui_.RunUntil(allSeen, 20ms);
        }
    }

    void Touch(const std::string& name) { std::ofstream(watched_ / name).put('x'); }
    std::string PathOf(const std::string& name) const { return (watched_ / name).string(); }

    TestDispatcher ui_;
    fs::path root_;
    fs::path watched_;
    std::vector<std::unique_ptr<CProcessThread>> workers_;
};

using Rows = std::vector<std::pair<std::string, std::string>>;

}  // namespace tarnwell::testing
