#pragma once
// Reads one HTTP/1.x response from the bytes of a connection as they arrive:
// the status line and headers, then the body framed by Content-Length, by
// chunks, or by the server closing the connection. Strict about sizes: the
// header block and the body are capped so a hostile server cannot make the
// program hold unbounded memory. Works on bytes only (no socket), so it can be
// fed any split of the input. One thread at a time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/net_error.h"

namespace tarnwell {

inline constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
inline constexpr std::size_t kMaxBodyBytes = 1024 * 1024;

class HttpResponseReader {
  public:
    enum class State { kNeedMore, kDone, kFailed };

    explicit HttpResponseReader(std::size_t max_header_bytes = kMaxHeaderBytes,
                                std::size_t max_body_bytes = kMaxBodyBytes);

    // Takes the next bytes of the connection. Bytes after a complete response are
    // ignored. A status other than 2xx fails as soon as the headers are complete,
    // without reading its body.
    State Feed(std::string_view bytes);
    // The connection was closed by the server: completes a close-delimited body,
    // fails anything else that is incomplete.
    State Finish();

    State state() const { return state_; }
    const NetError& error() const { return error_; }
    int status() const { return status_; }
    const std::string& status_line() const { return status_line_; }
    const std::string& body() const { return body_; }
    std::string TakeBody() { return std::move(body_); }

  private:
    enum class Phase {
        kHead,
        kBodyLength,
        kBodyClose,
        kChunkSize,
        kChunkData,
        kChunkDataEnd,
        kTrailer,
        kComplete
    };

    State Fail(NetErrorKind kind, std::string text, int code = 0);
    // Parses the complete head in head_; sets the phase the body starts in.
    State ParseHead();
    State ParseChunkSizeLine(std::string_view line);
    // Moves up to length_ bytes of the input into the body, as a declared
    // length or a chunk asks; true once length_ is used up.
    bool TakeCounted(std::string_view& input);
    // Takes one line (ended by LF, an optional CR before it stripped) from the
    // input into line_; false when the line is not complete yet.
    bool TakeLine(std::string_view& input, std::string& line, std::size_t limit, bool& too_long);
    State StartBody();

    std::size_t max_header_bytes_;
    std::size_t max_body_bytes_;
    State state_ = State::kNeedMore;
    Phase phase_ = Phase::kHead;
    NetError error_;

    std::string head_;            // the head so far, up to its empty line
    std::size_t head_bytes_ = 0;  // every byte of heads and trailers so far, for the cap
    std::string line_;            // a chunk-size or trailer line being collected
    int status_ = 0;
    std::string status_line_;
    bool chunked_ = false;
    bool has_length_ = false;
    std::uint64_t length_ = 0;  // Content-Length, or what is left of the current chunk
    bool saw_cr_ = false;       // inside the CRLF that ends a chunk's data
    std::string body_;
};

}  // namespace tarnwell
