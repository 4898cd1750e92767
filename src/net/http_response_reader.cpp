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

HttpResponseReader::HttpResponseReader(std::size_t max_header_bytes, std::size_t max_body_bytes)
    : max_header_bytes_(max_header_bytes), max_body_bytes_(max_body_bytes) {}

HttpResponseReader::State HttpResponseReader::Fail(NetErrorKind kind, std::string text, int code) {
    state_ = State::kFailed;
    error_ = MakeNetError(kind, std::move(text), code);
    body_.clear();
    return state_;
}

bool HttpResponseReader::TakeLine(std::string_view& input, std::string& line, std::size_t limit,
                                  bool& too_long) {
    too_long = false;
    std::size_t lf = input.find('\n');
    std::size_t take = lf == std::string_view::npos ? input.size() : lf + 1;
    if (line.size() + take > limit) {
        too_long = true;
        return false;
    }
    line.append(input.substr(0, take));
    input.remove_prefix(take);
    if (lf == std::string_view::npos) return false;
    line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

HttpResponseReader::State HttpResponseReader::Feed(std::string_view input) {
    while (state_ == State::kNeedMore && !input.empty()) {
        switch (phase_) {
            case Phase::kHead: {
                // Byte by byte: the head is small and capped, and its end may be
                // split across any two reads.
                while (!input.empty()) {
                    char c = input.front();
                    input.remove_prefix(1);
                    if (++head_bytes_ > max_header_bytes_) {
                        return Fail(NetErrorKind::kTooLarge,
                                    "The server's response headers are larger than " +
                                        std::to_string(max_header_bytes_ / 1024) + " KiB");
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
            case Phase::kBodyLength: {
                if (TakeCounted(input)) {
                    phase_ = Phase::kComplete;
                    state_ = State::kDone;
                }
                break;
            }
            case Phase::kBodyClose: {
                if (body_.size() + input.size() > max_body_bytes_) {
                    return Fail(NetErrorKind::kTooLarge,
                                "The server's response is larger than " +
                                    std::to_string(max_body_bytes_ / 1024) + " KiB");
                }
                body_.append(input);
                input = {};
                break;
            }
            case Phase::kChunkSize: {
                bool too_long = false;
                if (!TakeLine(input, line_, kMaxChunkLineBytes, too_long)) {
                    if (too_long) {
                        return Fail(NetErrorKind::kProtocol,
                                    "The server's response has a malformed chunk size line");
                    }
                    break;
                }
                std::string line = std::move(line_);
                line_.clear();
                ParseChunkSizeLine(line);
                break;
            }
            case Phase::kChunkData: {
                if (TakeCounted(input)) {
                    phase_ = Phase::kChunkDataEnd;
                    saw_cr_ = false;
                }
                break;
            }
            case Phase::kChunkDataEnd: {
                char c = input.front();
                input.remove_prefix(1);
                if (c == '\r' && !saw_cr_) {
                    saw_cr_ = true;
                } else if (c == '\n') {
                    phase_ = Phase::kChunkSize;
                } else {
                    return Fail(NetErrorKind::kProtocol,
                                "The server's response has a chunk longer than its size");
                }
                break;
            }
            case Phase::kTrailer: {
                bool too_long = false;
                std::size_t before = input.size();
                bool complete = TakeLine(
                    input, line_, max_header_bytes_ - std::min(head_bytes_, max_header_bytes_),
                    too_long);
                head_bytes_ += before - input.size();
                if (too_long) {
                    return Fail(NetErrorKind::kTooLarge,
                                "The server's response trailer is larger than " +
                                    std::to_string(max_header_bytes_ / 1024) + " KiB");
                }
                if (!complete) break;
                bool empty = line_.empty();
                line_.clear();
                if (empty) {
                    phase_ = Phase::kComplete;
                    state_ = State::kDone;
                }
                break;
            }
            case Phase::kComplete:
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

HttpResponseReader::State HttpResponseReader::ParseChunkSizeLine(std::string_view line) {
    std::string_view size_text = line.substr(0, line.find(';'));
    size_text = Trim(size_text);
    if (size_text.empty()) {
        return Fail(NetErrorKind::kProtocol, "The server's response has a malformed chunk size");
    }
    std::uint64_t size = 0;
    for (char c : size_text) {
        int v = HexValue(c);
        if (v < 0 || size > (UINT64_MAX >> 4)) {
            return Fail(NetErrorKind::kProtocol,
                        "The server's response has a malformed chunk size");
        }
        size = (size << 4) | static_cast<std::uint64_t>(v);
    }
    if (size == 0) {
        phase_ = Phase::kTrailer;
        return state_;
    }
    if (size > max_body_bytes_ - body_.size()) {
        return Fail(NetErrorKind::kTooLarge, "The server's response is larger than " +
                                                 std::to_string(max_body_bytes_ / 1024) + " KiB");
    }
    length_ = size;
    phase_ = Phase::kChunkData;
    return state_;
}

HttpResponseReader::State HttpResponseReader::ParseHead() {
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
        return Fail(NetErrorKind::kProtocol, "The server's response has no status line");
    }

    std::string_view status_line = lines.front();
    // "HTTP/1.x 200" with an optional reason phrase after one more space.
    bool valid = status_line.size() >= 12 && status_line.substr(0, 7) == "HTTP/1." &&
                 IsDigit(status_line[7]) && status_line[8] == ' ' && IsDigit(status_line[9]) &&
                 IsDigit(status_line[10]) && IsDigit(status_line[11]) &&
                 (status_line.size() == 12 || status_line[12] == ' ') &&
                 !HasControlCharacters(status_line);
    if (!valid) {
        return Fail(NetErrorKind::kProtocol, "The server's response is not HTTP/1.x");
    }
    status_ = (status_line[9] - '0') * 100 + (status_line[10] - '0') * 10 + (status_line[11] - '0');
    status_line_ = std::string(status_line);

    bool has_transfer_encoding = false;
    std::string last_value_name;
    std::string transfer_codings;
    std::string content_length;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line.empty()) {
            return Fail(NetErrorKind::kProtocol, "The server's response has malformed headers");
        }
        std::string name;
        std::string_view value;
        if (line.front() == ' ' || line.front() == '\t') {
            // An obsolete folded continuation of the header before it.
            if (last_value_name.empty()) {
                return Fail(NetErrorKind::kProtocol, "The server's response has malformed headers");
            }
            name = last_value_name;
            value = Trim(line);
        } else {
            std::size_t colon = line.find(':');
            if (colon == std::string_view::npos || colon == 0 ||
                line.substr(0, colon).find_first_of(" \t") != std::string_view::npos) {
                return Fail(NetErrorKind::kProtocol, "The server's response has malformed headers");
            }
            name = Lower(line.substr(0, colon));
            value = Trim(line.substr(colon + 1));
        }
        last_value_name = name;
        if (name == "transfer-encoding") {
            has_transfer_encoding = true;
            if (!transfer_codings.empty()) transfer_codings += ",";
            transfer_codings += Lower(value);
        } else if (name == "content-length") {
            if (value.empty() || !std::all_of(value.begin(), value.end(), IsDigit)) {
                return Fail(NetErrorKind::kProtocol,
                            "The server's response has an invalid Content-Length");
            }
            while (value.size() > 1 && value.front() == '0') value.remove_prefix(1);
            if (!content_length.empty() && content_length != value) {
                return Fail(NetErrorKind::kProtocol,
                            "The server's response has conflicting Content-Length headers");
            }
            content_length = std::string(value);
        }
    }

    if (status_ >= 100 && status_ < 200 && status_ != 101) {
        // An interim response; the real one follows on the same connection.
        head_.clear();
        status_ = 0;
        status_line_.clear();
        return state_;
    }
    if (status_ < 200 || status_ > 299) {
        return Fail(NetErrorKind::kHttpStatus, status_line_, status_);
    }

    if (has_transfer_encoding) {
        // Only chunked framing is understood; any other coding would hand the
        // caller bytes it cannot read as the document.
        std::string_view codings(transfer_codings);
        bool chunked_last = false;
        while (!codings.empty()) {
            std::size_t comma = codings.find(',');
            std::string_view coding = Trim(codings.substr(0, comma));
            codings.remove_prefix(comma == std::string_view::npos ? codings.size() : comma + 1);
            if (coding.empty() || coding == "identity") continue;
            if (coding != "chunked" || chunked_last) {
                return Fail(NetErrorKind::kProtocol,
                            "The server's response uses an unsupported transfer coding");
            }
            chunked_last = true;
        }
        chunked_ = chunked_last;
    }
    if (!chunked_ && !content_length.empty()) {
        has_length_ = true;
        if (content_length.size() > 19) {
            length_ = UINT64_MAX;
        } else {
            length_ = std::stoull(content_length);
        }
    }
    return StartBody();
}

HttpResponseReader::State HttpResponseReader::StartBody() {
    head_.clear();
    head_.shrink_to_fit();
    if (status_ == 204) {
        phase_ = Phase::kComplete;
        state_ = State::kDone;
    } else if (chunked_) {
        phase_ = Phase::kChunkSize;
    } else if (has_length_) {
        if (length_ > max_body_bytes_) {
            return Fail(NetErrorKind::kTooLarge, "The server's response is larger than " +
                                                     std::to_string(max_body_bytes_ / 1024) +
                                                     " KiB");
        }
        body_.reserve(static_cast<std::size_t>(length_));
        phase_ = length_ == 0 ? Phase::kComplete : Phase::kBodyLength;
        if (length_ == 0) state_ = State::kDone;
    } else {
        phase_ = Phase::kBodyClose;
    }
    return state_;
}

HttpResponseReader::State HttpResponseReader::Finish() {
    if (state_ != State::kNeedMore) return state_;
    switch (phase_) {
        case Phase::kBodyClose:
            phase_ = Phase::kComplete;
            state_ = State::kDone;
            return state_;
        case Phase::kHead:
            if (head_bytes_ == 0) {
                return Fail(NetErrorKind::kProtocol,
                            "The server closed the connection without answering");
            }
            return Fail(NetErrorKind::kProtocol,
                        "The server closed the connection before its response headers were "
                        "complete");
        default:
            return Fail(NetErrorKind::kProtocol,
                        "The server closed the connection before the whole response arrived");
    }
}

}  // namespace tarnwell
