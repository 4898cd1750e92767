#pragma once
// Reads one HTTP/1.x response from the bytes of a connection as they arrive:
// the status line and headers, then the body framed by Content-Length, by
// chunks, or by the server closing the connection. Strict about sizes: the
// header block and the body are capped so a hostile server cannot make the
// program hold unbounded memory. Works on bytes only (no socket), so it can be
// fed any split of the input. One thread at a time.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "net/net_error.h"
#include "net/reader_state.h"

namespace tarnwell {

inline constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
inline constexpr std::size_t kMaxBodyBytes = 1024 * 1024;

class HttpResponseReader {
  public:
    explicit HttpResponseReader(std::size_t maxHeaderBytes = kMaxHeaderBytes,
                                std::size_t maxBodyBytes = kMaxBodyBytes);

    // Takes the next bytes of the connection. Bytes after a complete response are
    // ignored. A status other than 2xx fails as soon as the headers are complete,
    // without reading its body.
    ReaderState Feed(std::string_view bytes);
    // The connection was closed by the server: completes a close-delimited body,
    // fails anything else that is incomplete.
    ReaderState Finish();

    ReaderState State() const { return state_; }
    const NetError& Error() const { return error_; }
    int Status() const { return status_; }
    const std::string& StatusLine() const { return statusLine_; }
    const std::string& Body() const { return body_; }
    std::string TakeBody() { return std::move(body_); }

  private:
    enum class Phase {
        Head,
        BodyLength,
        BodyClose,
        ChunkSize,
        ChunkData,
        ChunkDataEnd,
        Trailer,
        Complete
    };

    // What the header fields say about the body's framing.
    struct Framing {
        bool hasTransferEncoding = false;
        std::string transferCodings;  // every Transfer-Encoding value, lower case, joined by ","
        std::string contentLength;    // its digits without leading zeros; empty when absent
    };

    ReaderState Fail(NetErrorKind kind, std::string text, int code = 0);
    // `subject` names what is too large ("The server's response is").
    ReaderState FailTooLarge(std::string_view subject, std::size_t limit);
    void Complete();

    // One member per phase of Feed; each takes what it can from the input.
    void FeedHead(std::string_view& input);
    void FeedCloseDelimitedBody(std::string_view& input);
    void FeedChunkSize(std::string_view& input);
    void FeedChunkDataEnd(std::string_view& input);
    void FeedTrailer(std::string_view& input);

    // Parses the complete head in head_; sets the phase the body starts in.
    ReaderState ParseHead();
    // Each of these fails the reader and returns false on a malformed part.
    bool ParseStatusLine(std::string_view line);
    bool ParseHeaderFields(std::span<const std::string_view> lines, Framing& framing);
    bool NoteFramingField(const std::string& name, std::string_view value, Framing& framing);
    bool ApplyFraming(const Framing& framing);
    ReaderState StartBody();

    ReaderState ParseChunkSizeLine(std::string_view line);
    // Moves up to length_ bytes of the input into the body, as a declared
    // length or a chunk asks; true once length_ is used up.
    bool TakeCounted(std::string_view& input);
    // Takes one line (ended by LF, an optional CR before it stripped) from the
    // input into line_; false when the line is not complete yet.
    bool TakeLine(std::string_view& input, std::string& line, std::size_t limit, bool& tooLong);

    std::size_t maxHeaderBytes_;
    std::size_t maxBodyBytes_;
    ReaderState state_ = ReaderState::NeedMore;
    Phase phase_ = Phase::Head;
    NetError error_;

    std::string head_;           // the head so far, up to its empty line
    std::size_t headBytes_ = 0;  // every byte of heads and trailers so far, for the cap
    std::string line_;           // a chunk-size or trailer line being collected
    int status_ = 0;
    std::string statusLine_;
    bool chunked_ = false;
    bool hasLength_ = false;
    std::uint64_t length_ = 0;  // Content-Length, or what is left of the current chunk
    bool sawCr_ = false;        // inside the CRLF that ends a chunk's data
    std::string body_;
};

}  // namespace tarnwell
