// The readers of a SOCKS5 proxy's replies on arbitrary bytes: the method
// choice, the answer to the user name and password, and the reply to CONNECT
// fed in arbitrary pieces. The CONNECT reader must never take more than it
// asked for, must end done or failed once it has what it asked for, and its
// bound address must have the length its type gives.
//
// Input: one byte for the size of each piece, then the proxy's bytes: two for
// the method choice, two for the authentication answer, the rest for CONNECT.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/socks5.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tarnwell::ReaderState;
    using tarnwell::Socks5ReplyReader;
    if (size < 1) return 0;
    const std::size_t piece = 1 + data[0] % 32;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::string_view method = input.substr(0, 2);
    input.remove_prefix(method.size());
    for (std::uint8_t offered : {tarnwell::kSocksMethodNone, tarnwell::kSocksMethodUserPassword}) {
        tarnwell::NetError e = tarnwell::CheckSocksMethodReply(method, offered);
        Require(e.Ok() == (method.size() == 2 && method[0] == 5 &&
                           static_cast<std::uint8_t>(method[1]) == offered));
        Require(e.Ok() || e.kind == tarnwell::NetErrorKind::ProxyRefused);
    }
    std::string_view auth = input.substr(0, 2);
    input.remove_prefix(auth.size());
    tarnwell::NetError authError = tarnwell::CheckSocksAuthReply(auth);
    Require(authError.Ok() || authError.kind == tarnwell::NetErrorKind::ProxyRefused);

    Socks5ReplyReader reader;
    while (!input.empty() && reader.Needed() > 0) {
        const std::size_t needed = reader.Needed();
        std::string_view part = input.substr(0, piece);
        const std::size_t took = reader.Feed(part);
        Require(took <= needed && took <= part.size());
        Require(took > 0);
        input.remove_prefix(took);
    }
    if (reader.State() == ReaderState::NeedMore) {
        Require(input.empty() && reader.Needed() > 0);
    } else {
        Require(reader.Needed() == 0);
    }
    if (reader.State() == ReaderState::Done) {
        const std::size_t length = reader.BoundAddress().size();
        switch (reader.AddressType()) {
            case 1:
                Require(length == 4);
                break;
            case 4:
                Require(length == 16);
                break;
            case 3:
                Require(length <= 255);
                break;
            default:
                Require(false);
        }
    }
    if (reader.State() == ReaderState::Failed) {
        Require(reader.Error().kind == tarnwell::NetErrorKind::ProxyRefused);
        Require(!reader.Error().text.empty());
    }
    return 0;
}
