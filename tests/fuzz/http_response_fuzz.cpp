// The HTTP response reader on arbitrary bytes, split into arbitrary reads, with
// small caps so the size limits are reached too. Its promises: it always comes
// to an end once the server closes, a finished body is within the cap, and a
// failure always says why and hands out no body.
//
// Input: one byte for the size of each read, one byte for the caps, then the
// bytes of the connection.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/http_response_reader.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tarnwell::HttpResponseReader;
    if (size < 2) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const bool small_caps = data[1] & 1;
    const std::size_t max_header = small_caps ? 32 + (data[1] >> 1) * 4 : tarnwell::kMaxHeaderBytes;
    const std::size_t max_body = small_caps ? 16 + (data[1] >> 1) * 8 : tarnwell::kMaxBodyBytes;
    std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);

    HttpResponseReader reader(max_header, max_body);
    while (!input.empty() && reader.state() == HttpResponseReader::State::kNeedMore) {
        std::string_view part = input.substr(0, piece);
        input.remove_prefix(part.size());
        reader.Feed(part);
        Require(reader.body().size() <= max_body);
    }
    reader.Finish();
    Require(reader.state() != HttpResponseReader::State::kNeedMore);
    if (reader.state() == HttpResponseReader::State::kDone) {
        Require(reader.error().ok());
        Require(reader.status() >= 200 && reader.status() <= 299);
        Require(reader.body().size() <= max_body);
    } else {
        Require(!reader.error().ok());
        Require(!reader.error().text.empty());
        Require(!reader.error().CarriesSocketCode());
        Require(reader.body().empty());
    }
    return 0;
}
