// Arbitrary bytes as the worker's read buffer: the batch must stay inside the
// buffer, end, and never count more changes than records can fit.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/notify_codes.h"
#include "engine/process_changes.h"
#include "engine/watch_settings.h"
#include "support/fake_services.h"

namespace {

using namespace tarnwell;

void RunBatch(const std::vector<std::byte>& buffer, const std::string& mask,
              const PathSyntax& syntax, std::int32_t logFormat, std::FILE* log) {
    static test::FakeSystemText text;
    static RegionalSettings regional;
    test::FakeFileQueries files;
    test::FakePageSurface page;
    page.maxLines = 3;
    const std::string directory = syntax.separator == '/' ? "/data" : "C:\\Data";
    std::int32_t count = 0;
    bool logFailed = false;
    BatchTarget target{directory, mask, page,  log != nullptr ? 1 : 0,
                       logFormat, log,  count, logFailed};
    BatchServices services{text, files, syntax, regional,
                           [] { return LocalDateTime{2006, 6, 14, 15, 4, 5, 0}; }};
    std::size_t current = 0;
    ProcessChangeBatch(buffer.data(), buffer.size(), current, target, services);

    // Every record after the first starts at least one header further on.
    if (count < 0 || static_cast<std::size_t>(count) > 1 + buffer.size() / kNotifyHeaderSize) {
        __builtin_trap();
    }
    if (current + kNotifyHeaderSize > buffer.size() || page.rows.size() > 3) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::FILE* sink = std::fopen("/dev/null", "wb");
    // The read buffer is always the full, cleared 10000 bytes; longer inputs are cut.
    std::vector<std::byte> buffer(kChangeBufferSize);
    std::memcpy(buffer.data(), data, size < buffer.size() ? size : buffer.size());
    RunBatch(buffer, "*", kWindowsPathSyntax, LogFormatCsv, sink);

    // Inputs stay far shorter than the buffer, so its end would never be tried:
    // the first two bytes place the rest anywhere, behind a record that jumps there.
    if (size < 2) return 0;
    const std::size_t shift = (data[0] | static_cast<std::size_t>(data[1]) << 8) % buffer.size();
    if (shift < kNotifyHeaderSize) return 0;
    std::fill(buffer.begin(), buffer.end(), std::byte{0});
    const std::uint32_t header[3] = {static_cast<std::uint32_t>(shift), FILE_ACTION_ADDED, 0};
    std::memcpy(buffer.data(), header, sizeof header);
    const std::size_t rest = size - 2 < buffer.size() - shift ? size - 2 : buffer.size() - shift;
    std::memcpy(buffer.data() + shift, data + 2, rest);
    RunBatch(buffer, "*?x.t*t", kPosixPathSyntax, LogFormatTab, nullptr);
    return 0;
}
