#include "net/http_response_reader.h"

#include <algorithm>
#include <cctype>
#include <vector>

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

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool HasControlCharacters(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t') || u == 0x7f;
    });
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
            case Phase::Head: {
                // Byte by byte: the head is small and capped, and its end may be
                // split across any two reads.
                while (!input.empty()) {
                    char c = input.front();
                    input.remove_prefix(1);
                    if (++headBytes_ > maxHeaderBytes_) {
                        return Fail(NetErrorKind::TooLarge,
                                    "The server's response headers are larger than " +
                                        std::to_string(maxHeaderBytes_ / 1024) + " KiB");
                    }
                    head_.push_back(c);
                    std::size_t n = head_.size();
                    if (c == '\n' && ((n >= 2 && head_[n - 2] == '\n') ||
                                      (n >= 3 && head_[n - 2] == '\r' && head_[n - 3] == '\n'))) {
                        ParseHead();
                        break;
                    }
                }
                break;
            }
            case Phase::BodyLength: {
                if (TakeCounted(input)) {
                    phase_ = Phase::Complete;
                    state_ = ReaderState::Done;
                }
                break;
            }
            case Phase::BodyClose: {
                if (body_.size() + input.size() > maxBodyBytes_) {
                    return Fail(NetErrorKind::TooLarge, "The server's response is larger than " +
                                                            std::to_string(maxBodyBytes_ / 1024) +
                                                            " KiB");
                }
                body_.append(input);
                input = {};
                break;
            }
            case Phase::ChunkSize: {
                bool tooLong = false;
                if (!TakeLine(input, line_, kMaxChunkLineBytes, tooLong)) {
                    if (tooLong) {
                        return Fail(NetErrorKind::Protocol,
                                    "The server's response has a malformed chunk size line");
                    }
                    break;
                }
                std::string line = std::move(line_);
                line_.clear();
                ParseChunkSizeLine(line);
                break;
            }
            case Phase::ChunkData: {
                if (TakeCounted(input)) {
                    phase_ = Phase::ChunkDataEnd;
                    sawCr_ = false;
                }
                break;
            }
            case Phase::ChunkDataEnd: {
                char c = input.front();
                input.remove_prefix(1);
                if (c == '\r' && !sawCr_) {
                    sawCr_ = true;
                } else if (c == '\n') {
                    phase_ = Phase::ChunkSize;
                } else {
                    return Fail(NetErrorKind::Protocol,
                                "The server's response has a chunk longer than its size");
                }
                break;
            }
            case Phase::Trailer: {
                bool tooLong = false;
                std::size_t before = input.size();
                bool complete = TakeLine(
                    input, line_, maxHeaderBytes_ - std::min(headBytes_, maxHeaderBytes_), tooLong);
                headBytes_ += before - input.size();
                if (tooLong) {
                    return Fail(NetErrorKind::TooLarge,
                                "The server's response trailer is larger than " +
                                    std::to_string(maxHeaderBytes_ / 1024) + " KiB");
                }
                if (!complete) break;
                bool empty = line_.empty();
                line_.clear();
                if (empty) {
                    phase_ = Phase::Complete;
                    state_ = ReaderState::Done;
                }
                break;
            }
            case Phase::Complete:
                input = {};
                break;
        }
    }
    return state_;
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
        int v = HexValue(c);
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
        return Fail(NetErrorKind::TooLarge, "The server's response is larger than " +
                                                std::to_string(maxBodyBytes_ / 1024) + " KiB");
    }
    length_ = size;
    phase_ = Phase::ChunkData;
    return state_;
}

ReaderState HttpResponseReader::ParseHead() {
    std::vector<std::string_view> lines;
    std::string_view rest(head_);
    while (!rest.empty()) {
        std::size_t lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    if (lines.empty()) {
        return Fail(NetErrorKind::Protocol, "The server's response has no status line");
    }

    std::string_view statusLine = lines.front();
    // "HTTP/1.x 200" with an optional reason phrase after one more space.
    bool valid = statusLine.size() >= 12 && statusLine.substr(0, 7) == "HTTP/1." &&
                 IsDigit(statusLine[7]) && statusLine[8] == ' ' && IsDigit(statusLine[9]) &&
                 IsDigit(statusLine[10]) && IsDigit(statusLine[11]) &&
                 (statusLine.size() == 12 || statusLine[12] == ' ') &&
                 !HasControlCharacters(statusLine);
    if (!valid) {
        return Fail(NetErrorKind::Protocol, "The server's response is not HTTP/1.x");
    }
    status_ = (statusLine[9] - '0') * 100 + (statusLine[10] - '0') * 10 + (statusLine[11] - '0');
    statusLine_ = std::string(statusLine);

    bool hasTransferEncoding = false;
    std::string lastValueName;
    std::string transferCodings;
    std::string contentLength;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line.empty()) {
            return Fail(NetErrorKind::Protocol, "The server's response has malformed headers");
        }
        std::string name;
        std::string_view value;
        if (line.front() == ' ' || line.front() == '\t') {
            // An obsolete folded continuation of the header before it.
            if (lastValueName.empty()) {
                return Fail(NetErrorKind::Protocol, "The server's response has malformed headers");
            }
            name = lastValueName;
            value = Trim(line);
        } else {
            std::size_t colon = line.find(':');
            if (colon == std::string_view::npos || colon == 0 ||
                line.substr(0, colon).find_first_of(" \t") != std::string_view::npos) {
                return Fail(NetErrorKind::Protocol, "The server's response has malformed headers");
            }
            name = Lower(line.substr(0, colon));
            value = Trim(line.substr(colon + 1));
        }
        lastValueName = name;
        if (name == "transfer-encoding") {
            hasTransferEncoding = true;
            if (!transferCodings.empty()) transferCodings += ",";
            transferCodings += Lower(value);
        } else if (name == "content-length") {
            if (value.empty() || !std::all_of(value.begin(), value.end(), IsDigit)) {
                return Fail(NetErrorKind::Protocol,
                            "The server's response has an invalid Content-Length");
            }
            while (value.size() > 1 && value.front() == '0') value.remove_prefix(1);
            if (!contentLength.empty() && contentLength != value) {
                return Fail(NetErrorKind::Protocol,
                            "The server's response has conflicting Content-Length headers");
            }
            contentLength = std::string(value);
        }
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

    if (hasTransferEncoding) {
        // Only chunked framing is understood; any other coding would hand the
        // caller bytes it cannot read as the document.
        std::string_view codings(transferCodings);
        bool chunkedLast = false;
        while (!codings.empty()) {
            std::size_t comma = codings.find(',');
            std::string_view coding = Trim(codings.substr(0, comma));
            codings.remove_prefix(comma == std::string_view::npos ? codings.size() : comma + 1);
            if (coding.empty() || coding == "identity") continue;
            if (coding != "chunked" || chunkedLast) {
                return Fail(NetErrorKind::Protocol,
                            "The server's response uses an unsupported transfer coding");
            }
            chunkedLast = true;
        }
        chunked_ = chunkedLast;
    }
    if (!chunked_ && !contentLength.empty()) {
        hasLength_ = true;
        if (contentLength.size() > 19) {
            length_ = UINT64_MAX;
        } else {
            length_ = std::stoull(contentLength);
        }
    }
    return StartBody();
}

ReaderState HttpResponseReader::StartBody() {
    head_.clear();
    head_.shrink_to_fit();
    if (status_ == 204) {
        phase_ = Phase::Complete;
        state_ = ReaderState::Done;
    } else if (chunked_) {
        phase_ = Phase::ChunkSize;
    } else if (hasLength_) {
        if (length_ > maxBodyBytes_) {
            return Fail(NetErrorKind::TooLarge, "The server's response is larger than " +
                                                    std::to_string(maxBodyBytes_ / 1024) + " KiB");
        }
        body_.reserve(static_cast<std::size_t>(length_));
        phase_ = length_ == 0 ? Phase::Complete : Phase::BodyLength;
        if (length_ == 0) state_ = ReaderState::Done;
    } else {
        phase_ = Phase::BodyClose;
    }
    return state_;
}

ReaderState HttpResponseReader::Finish() {
    if (state_ != ReaderState::NeedMore) return state_;
    switch (phase_) {
        case Phase::BodyClose:
            phase_ = Phase::Complete;
            state_ = ReaderState::Done;
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
