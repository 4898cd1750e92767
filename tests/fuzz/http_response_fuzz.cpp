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
    using tarnwell::ReaderState;
    if (size < 2) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const bool smallCaps = data[1] & 1;
    const std::size_t maxHeader = smallCaps ? 32 + (data[1] >> 1) * 4 : tarnwell::kMaxHeaderBytes;
    const std::size_t maxBody = smallCaps ? 16 + (data[1] >> 1) * 8 : tarnwell::kMaxBodyBytes;
    std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);

    HttpResponseReader reader(maxHeader, maxBody);
    while (!input.empty() && reader.State() == ReaderState::NeedMore) {
        std::string_view part = input.substr(0, piece);
        input.remove_prefix(part.size());
        reader.Feed(part);
        Require(reader.Body().size() <= maxBody);
    }
    reader.Finish();
    Require(reader.State() != ReaderState::NeedMore);
    if (reader.State() == ReaderState::Done) {
        Require(reader.Error().Ok());
        Require(reader.Status() >= 200 && reader.Status() <= 299);
        Require(reader.Body().size() <= maxBody);
    } else {
        Require(!reader.Error().Ok());
        Require(!reader.Error().text.empty());
        Require(!reader.Error().CarriesSocketCode());
        Require(reader.Body().empty());
    }
    return 0;
}
