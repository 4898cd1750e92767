#include "net/http_response_reader.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/hex_digit.h"

namespace tarnwell {
namespace {

// A chunk-size line is a few hex digits; extensions make it longer, but no
// honest server needs this much.
constexpr std::size_t kMaxChunkLineBytes = 4096;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool HasControlCharacters(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t') || u == 0x7f;
    });
}

// True when `head` ends with the empty line that ends a head (LF LF or LF CR LF).
bool HeadIsComplete(std::string_view head) {
    const std::size_t n = head.size();
    return n >= 2 && head[n - 1] == '\n' &&
           (head[n - 2] == '\n' || (n >= 3 && head[n - 2] == '\r' && head[n - 3] == '\n'));
}

// The lines of a complete head, CR LF or LF ended, without the empty lines at its end.
std::vector<std::string_view> HeadLines(std::string_view head) {
    std::vector<std::string_view> lines;
    while (!head.empty()) {
        const std::size_t lf = head.find('\n');
        std::string_view line = head.substr(0, lf);
        head.remove_prefix(lf == std::string_view::npos ? head.size() : lf + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

// One header field: its name in lower case and its value without the white
// space around it. An obsolete folded line continues the field before it
// (`lastName`). False for a line that is no field.
bool SplitHeaderField(std::string_view line, const std::string& lastName, std::string& name,
                      std::string_view& value) {
    if (line.empty()) return false;
    if (line.front() == ' ' || line.front() == '\t') {
        if (lastName.empty()) return false;
        name = lastName;
        value = Trim(line);
        return true;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0 ||
        line.substr(0, colon).find_first_of(" \t") != std::string_view::npos) {
        return false;
    }
    name = Lower(line.substr(0, colon));
    value = Trim(line.substr(colon + 1));
    return true;
}

}  // namespace

HttpResponseReader::HttpResponseReader(std::size_t maxHeaderBytes, std::size_t maxBodyBytes)
    : maxHeaderBytes_(maxHeaderBytes), maxBodyBytes_(maxBodyBytes) {}

ReaderState HttpResponseReader::Fail(NetErrorKind kind, std::string text, int code) {
    state_ = ReaderState::Failed;
    error_ = MakeNetError(kind, std::move(text), code);
    body_.clear();
    return state_;
}

ReaderState HttpResponseReader::FailTooLarge(std::string_view subject, std::size_t limit) {
    return Fail(NetErrorKind::TooLarge,
                std::string(subject) + " larger than " + std::to_string(limit / 1024) + " KiB");
}

void HttpResponseReader::Complete() {
    phase_ = Phase::Complete;
    state_ = ReaderState::Done;
}

bool HttpResponseReader::TakeLine(std::string_view& input, std::string& line, std::size_t limit,
                                  bool& tooLong) {
    tooLong = false;
    std::size_t lf = input.find('\n');
    std::size_t take = lf == std::string_view::npos ? input.size() : lf + 1;
    if (line.size() + take > limit) {
        tooLong = true;
        return false;
    }
    line.append(input.substr(0, take));
    input.remove_prefix(take);
    if (lf == std::string_view::npos) return false;
    line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

ReaderState HttpResponseReader::Feed(std::string_view input) {
    while (state_ == ReaderState::NeedMore && !input.empty()) {
        switch (phase_) {
            case Phase::Head:
                FeedHead(input);
                break;
            case Phase::BodyLength:
                if (TakeCounted(input)) Complete();
                break;
            case Phase::BodyClose:
                FeedCloseDelimitedBody(input);
                break;
            case Phase::ChunkSize:
                FeedChunkSize(input);
                break;
            case Phase::ChunkData:
                if (TakeCounted(input)) {
                    phase_ = Phase::ChunkDataEnd;
                    sawCr_ = false;
                }
                break;
            case Phase::ChunkDataEnd:
                FeedChunkDataEnd(input);
                break;
            case Phase::Trailer:
                FeedTrailer(input);
                break;
            case Phase::Complete:
                input = {};
                break;
        }
    }
    return state_;
}

void HttpResponseReader::FeedHead(std::string_view& input) {
    // Byte by byte: the head is small and capped, and its end may be split
    // across any two reads.
    while (!input.empty()) {
        const char c = input.front();
        input.remove_prefix(1);
        if (++headBytes_ > maxHeaderBytes_) {
            FailTooLarge("The server's response headers are", maxHeaderBytes_);
            return;
        }
        head_.push_back(c);
        if (c == '\n' && HeadIsComplete(head_)) {
            ParseHead();
            return;
        }
    }
}

void HttpResponseReader::FeedCloseDelimitedBody(std::string_view& input) {
    if (body_.size() + input.size() > maxBodyBytes_) {
        FailTooLarge("The server's response is", maxBodyBytes_);
        return;
    }
    body_.append(input);
    input = {};
}

void HttpResponseReader::FeedChunkSize(std::string_view& input) {
    bool tooLong = false;
    if (!TakeLine(input, line_, kMaxChunkLineBytes, tooLong)) {
        if (tooLong) {
            Fail(NetErrorKind::Protocol, "The server's response has a malformed chunk size line");
        }
        return;
    }
    const std::string line = std::move(line_);
    line_.clear();
    ParseChunkSizeLine(line);
}

void HttpResponseReader::FeedChunkDataEnd(std::string_view& input) {
    const char c = input.front();
    input.remove_prefix(1);
    if (c == '\r' && !sawCr_) {
        sawCr_ = true;
    } else if (c == '\n') {
        phase_ = Phase::ChunkSize;
    } else {
        Fail(NetErrorKind::Protocol, "The server's response has a chunk longer than its size");
    }
}

void HttpResponseReader::FeedTrailer(std::string_view& input) {
    bool tooLong = false;
    const std::size_t before = input.size();
    const bool complete =
        TakeLine(input, line_, maxHeaderBytes_ - std::min(headBytes_, maxHeaderBytes_), tooLong);
    headBytes_ += before - input.size();
    if (tooLong) {
        FailTooLarge("The server's response trailer is", maxHeaderBytes_);
        return;
    }
    if (!complete) return;
    const bool empty = line_.empty();
    line_.clear();
    if (empty) Complete();
}

bool HttpResponseReader::TakeCounted(std::string_view& input) {
    const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(length_, input.size()));
    body_.append(input.substr(0, take));
    input.remove_prefix(take);
    length_ -= take;
    return length_ == 0;
}

ReaderState HttpResponseReader::ParseChunkSizeLine(std::string_view line) {
    std::string_view sizeText = line.substr(0, line.find(';'));
    sizeText = Trim(sizeText);
    if (sizeText.empty()) {
        return Fail(NetErrorKind::Protocol, "The server's response has a malformed chunk size");
    }
    std::uint64_t size = 0;
    for (char c : sizeText) {
        const int v = HexDigitValue(c);
        if (v < 0 || size > (UINT64_MAX >> 4)) {
            return Fail(NetErrorKind::Protocol, "The server's response has a malformed chunk size");
        }
        size = (size << 4) | static_cast<std::uint64_t>(v);
    }
    if (size == 0) {
        phase_ = Phase::Trailer;
        return state_;
    }
    if (size > maxBodyBytes_ - body_.size()) {
        return FailTooLarge("The server's response is", maxBodyBytes_);
    }
    length_ = size;
    phase_ = Phase::ChunkData;
    return state_;
}

ReaderState HttpResponseReader::ParseHead() {
    const std::vector<std::string_view> lines = HeadLines(head_);
    if (lines.empty()) {
        return Fail(NetErrorKind::Protocol, "The server's response has no status line");
    }
    Framing framing;
    if (!ParseStatusLine(lines.front()) ||
        !ParseHeaderFields(std::span(lines).subspan(1), framing)) {
        return state_;
    }
    if (status_ >= 100 && status_ < 200 && status_ != 101) {
        // An interim response; the real one follows on the same connection.
        head_.clear();
        status_ = 0;
        statusLine_.clear();
        return state_;
    }
    if (status_ < 200 || status_ > 299) {
        return Fail(NetErrorKind::HttpStatus, statusLine_, status_);
    }
    if (!ApplyFraming(framing)) return state_;
    return StartBody();
}

bool HttpResponseReader::ParseStatusLine(std::string_view line) {
    // "HTTP/1.x 200" with an optional reason phrase after one more space.
    const bool valid = line.size() >= 12 && line.substr(0, 7) == "HTTP/1." && IsDigit(line[7]) &&
                       line[8] == ' ' && IsDigit(line[9]) && IsDigit(line[10]) &&
                       IsDigit(line[11]) && (line.size() == 12 || line[12] == ' ') &&
                       !HasControlCharacters(line);
    if (!valid) {
        Fail(NetErrorKind::Protocol, "The server's response is not HTTP/1.x");
        return false;
    }
    status_ = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    statusLine_ = std::string(line);
    return true;
}

bool HttpResponseReader::ParseHeaderFields(std::span<const std::string_view> lines,
                                           Framing& framing) {
    std::string lastName;
    for (const std::string_view line : lines) {
        std::string name;
        std::string_view value;
        if (!SplitHeaderField(line, lastName, name, value)) {
            Fail(NetErrorKind::Protocol, "The server's response has malformed headers");
            return false;
        }
        if (!NoteFramingField(name, value, framing)) return false;
        lastName = std::move(name);
    }
    return true;
}

bool HttpResponseReader::NoteFramingField(const std::string& name, std::string_view value,
                                          Framing& framing) {
    if (name == "transfer-encoding") {
        framing.hasTransferEncoding = true;
        if (!framing.transferCodings.empty()) framing.transferCodings += ",";
        framing.transferCodings += Lower(value);
    } else if (name == "content-length") {
        if (value.empty() || !std::all_of(value.begin(), value.end(), IsDigit)) {
            Fail(NetErrorKind::Protocol, "The server's response has an invalid Content-Length");
            return false;
        }
        while (value.size() > 1 && value.front() == '0') value.remove_prefix(1);
        if (!framing.contentLength.empty() && framing.contentLength != value) {
            Fail(NetErrorKind::Protocol,
                 "The server's response has conflicting Content-Length headers");
            return false;
        }
        framing.contentLength = std::string(value);
    }
    return true;
}

bool HttpResponseReader::ApplyFraming(const Framing& framing) {
    if (framing.hasTransferEncoding) {
        // Only chunked framing is understood; any other coding would hand the
        // caller bytes it cannot read as the document.
        std::string_view codings(framing.transferCodings);
        bool chunkedLast = false;
        while (!codings.empty()) {
            const std::size_t comma = codings.find(',');
            const std::string_view coding = Trim(codings.substr(0, comma));
            codings.remove_prefix(comma == std::string_view::npos ? codings.size() : comma + 1);
            if (coding.empty() || coding == "identity") continue;
            if (coding != "chunked" || chunkedLast) {
                Fail(NetErrorKind::Protocol,
                     "The server's response uses an unsupported transfer coding");
                return false;
            }
            chunkedLast = true;
        }
        chunked_ = chunkedLast;
    }
    if (!chunked_ && !framing.contentLength.empty()) {
        hasLength_ = true;
        // More than 19 digits cannot be held, and is far beyond any cap anyway.
        length_ =
            framing.contentLength.size() > 19 ? UINT64_MAX : std::stoull(framing.contentLength);
    }
    return true;
}

ReaderState HttpResponseReader::StartBody() {
    head_.clear();
    head_.shrink_to_fit();
    if (status_ == 204) {
        Complete();
    } else if (chunked_) {
        phase_ = Phase::ChunkSize;
    } else if (hasLength_) {
        if (length_ > maxBodyBytes_) {
            return FailTooLarge("The server's response is", maxBodyBytes_);
        }
        body_.reserve(static_cast<std::size_t>(length_));
        if (length_ == 0) {
            Complete();
        } else {
            phase_ = Phase::BodyLength;
        }
    } else {
        phase_ = Phase::BodyClose;
    }
    return state_;
}

ReaderState HttpResponseReader::Finish() {
    if (state_ != ReaderState::NeedMore) return state_;
    switch (phase_) {
        case Phase::BodyClose:
            Complete();
            return state_;
        case Phase::Head:
            if (headBytes_ == 0) {
                return Fail(NetErrorKind::Protocol,
                            "The server closed the connection without answering");
            }
            return Fail(NetErrorKind::Protocol,
                        "The server closed the connection before its response headers were "
                        "complete");
        default:
            return Fail(NetErrorKind::Protocol,
                        "The server closed the connection before the whole response arrived");
    }
}

}  // namespace tarnwell
