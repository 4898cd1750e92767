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
                                              ? ParseVersionNumber(entry.version, decimalSeparator)
                                              : std::nullopt;
    if (!version) {
        view.SetStatus(kFetchErrorText);
        return;
    }

    downloadUrl = TrimDownloadAddress(entry.url);
    const bool newer = *version > AppConstants::VersionNumber;
    view.SetStatus2(newer ? kNewerVersionText : kUpToDateText);
    view.ShowDownload(newer);
    view.SetStatus({});
}

}  // namespace tarnwell
