// A batch may allocate for the texts of a record but not for the walk, the
// match or the formatting around them: a long batch of short names (whose
// texts fit into the strings' own storage) must cost no more allocations than
// a batch of one.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "engine/process_changes.h"
#include "engine/watch_settings.h"
#include "support/fake_services.h"
#include "support/notify_buffer_builder.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// These replacements pair malloc with free on purpose; GCC (seen with the
// mingw-w64 build) still takes the free for a mismatch with operator new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace tarnwell {
namespace {

// Takes no allocation of its own, unlike the recording fake.
class QuietPage : public PageSurface {
  public:
    bool OutputToScreen() const override { return false; }
    bool AutoScroll() const override { return false; }
    int MaxLines() const override { return 1000; }
    int AppendRow(ResultRow) override { return 0; }
    void MakeRowVisible(int) override {}
    int RowCount() const override { return 0; }
    void DeleteFirstRow() override {}
    void SetChangeCountText(const std::string&) override {}
    void LogWriteFailed(int) override {}
};

long AllocationsFor(const std::vector<std::byte>& buffer, std::FILE* log) {
    static test::FakeSystemText text;
    static test::FakeFileQueries files;
    static QuietPage page;
    static RegionalSettings regional;
    static const std::string directory = "/d";
    static const std::string mask = "*.txt";
    std::int32_t count = 0;
    bool failed = false;
    BatchTarget target{directory, mask, page, 1, LogFormatCsv, log, count, failed};
    BatchServices services{text, files, kPosixPathSyntax, regional,
                           [] { return LocalDateTime{2006, 6, 14, 15, 4, 5, 0}; }};
    files.queried.reserve(4096);
    std::size_t current = 0;
    const long before = allocations.load();
    ProcessChangeBatch(buffer.data(), buffer.size(), current, target, services);
    return allocations.load() - before;
}

TEST(BatchAllocation, NothingPerRecordBeyondItsTexts) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    const auto one = test::BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.txt"}});
    std::vector<test::NotifyEntry> entries;
    for (int i = 0; i < 400; ++i) {
        entries.push_back({FILE_ACTION_MODIFIED, i % 2 ? u"b.txt" : u"c.doc"});
    }
    const auto many = test::BuildNotifyBuffer(entries);

    AllocationsFor(many, log);  // lets the reused buffers grow once
    const long forOne = AllocationsFor(one, log);
    const long forMany = AllocationsFor(many, log);
    EXPECT_EQ(forMany, forOne);
    std::fclose(log);
}

}  // namespace
}  // namespace tarnwell
