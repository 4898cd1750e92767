#include "ui/update_check.h"

#include <charconv>
#include <stdexcept>
#include <system_error>

namespace tarnwell {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The hourglass for as long as the check runs, whichever way it ends.
class Wait {
  public:
    explicit Wait(AboutBoxView& view) : view_(view) { view_.BeginWait(); }
    ~Wait() { End(); }
    Wait(const Wait&) = delete;
    Wait& operator=(const Wait&) = delete;
    void End() {
        if (active_) view_.EndWait();
        active_ = false;
    }

  private:
    AboutBoxView& view_;
    bool active_ = true;
};

}  // namespace

std::string UpdateSocketErrorText(int code) {
    return "An Error occured whilst Checking for updates. \n\n Error Code : " +
           std::to_string(code);
}

std::string UpdateAddress(const UpdateSource& source) {
    std::string host = source.host;
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    std::string address = "http://" + host;
    if (source.port != 80) address += ":" + std::to_string(source.port);
    return address + "/versions/versions.xml";
}

bool IsWebAddress(std::string_view address) {
    if (address.empty()) return true;
    for (const std::string_view scheme : {"http://", "https://", "ftp://"}) {
        if (address.size() < scheme.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < scheme.size() && same; ++i) {
            const char c = address[i];
            same = (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == scheme[i];
        }
        if (same) return true;
    }
    return false;
}

std::optional<double> ParseMakersVersion(std::string_view text, std::string_view decimalSeparator) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    // Rewritten with "." so the conversion does not depend on any locale.
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') number += '-';
        ++i;
    }
    bool digits = false, separator = false;
    while (i < text.size()) {
        if (IsDigit(text[i])) {
            number += text[i++];
            digits = true;
        } else if (!separator && text[i] == '.') {
            number += '.';
            ++i;
            separator = true;
        } else if (!separator && !decimalSeparator.empty() &&
                   text.substr(i, decimalSeparator.size()) == decimalSeparator) {
            number += '.';
            i += decimalSeparator.size();
            separator = true;
        } else {
            break;
        }
    }
    if (!digits) return std::nullopt;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        number += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
        bool exponentDigits = false;
        while (i < text.size() && IsDigit(text[i])) {
            number += text[i++];
            exponentDigits = true;
        }
        if (!exponentDigits) return std::nullopt;
    }
    while (i < text.size() && text[i] == ' ') ++i;
    if (i != text.size()) return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
    return value;
}

void CheckForUpdates(AboutBoxView& view, VersionsReader& reader,
                     const std::function<HttpResult()>& fetch, std::string_view decimalSeparator,
                     std::string& downloadUrl) {
    Wait wait(view);
    view.SetStatus(kCheckingText);
    const auto fail = [&](const std::string& description) {
        view.SetStatus({});
        wait.End();
        throw std::runtime_error(description);
    };

    const HttpResult response = fetch();
    if (!response.Ok()) {
        if (response.error.CarriesSocketCode()) {
            // The status keeps "Checking for Updates".
            view.ShowUpdateError(UpdateSocketErrorText(response.error.code));
            return;
        }
        fail(response.error.text);
    }

    const VersionsEntry entry = reader.Read(response.body, AppConstants::ProductName);
    if (entry.outcome == VersionsEntry::Outcome::Malformed) fail(entry.error);
    // No answer is defined for a version that is no number; treating it like a
    // document without a version tells the user the most and changes nothing.
    const std::optional<double> version = entry.outcome == VersionsEntry::Outcome::Found
                                              ? ParseMakersVersion(entry.version, decimalSeparator)
                                              : std::nullopt;
    if (!version) {
        view.SetStatus(kFetchErrorText);
        return;
    }

    downloadUrl = entry.url;
    const bool newer = *version > AppConstants::VersionNumber;
    view.SetStatus2(newer ? kNewerVersionText : kUpToDateText);
    view.ShowDownload(newer);
    view.SetStatus({});
}

}  // namespace tarnwell
