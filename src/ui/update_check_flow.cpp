#include "ui/update_check_flow.h"

#include <stdexcept>

namespace tarnwell {
namespace {

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

VersionsEntry::Outcome JudgeVersionsEntry(const VersionsEntry& entry,
                                          std::string_view decimalSeparator, double& version) {
    using Outcome = VersionsEntry::Outcome;
    const bool versionRead = entry.outcome == Outcome::Found || entry.urlMalformed;
    if (entry.outcome == Outcome::Malformed && !entry.urlMalformed) return Outcome::Malformed;
    if (!versionRead) return Outcome::Missing;
    // A Version that is no number tells the user most when it is taken as no
    // Version at all: the check says it found nothing and changes nothing.
    const std::optional<double> number = ParseVersionNumber(entry.version, decimalSeparator);
    if (!number) return Outcome::Missing;
    if (entry.outcome == Outcome::Malformed) return Outcome::Malformed;
    version = *number;
    return Outcome::Found;
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

    const VersionsEntry entry = reader.Read(response.body, AppConstants::kProductName);
    double version = 0;
    switch (JudgeVersionsEntry(entry, decimalSeparator, version)) {
        case VersionsEntry::Outcome::Malformed:
            fail(entry.error);
            break;
        case VersionsEntry::Outcome::Missing:
            view.SetStatus(kFetchErrorText);
            return;
        case VersionsEntry::Outcome::Found:
            break;
    }

    downloadUrl = TrimDownloadAddress(entry.url);
    const bool newer = version > AppConstants::kVersionNumber;
    view.SetStatus2(newer ? kNewerVersionText : kUpToDateText);
    view.ShowDownload(newer);
    view.SetStatus({});
}

}  // namespace tarnwell
