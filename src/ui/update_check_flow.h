#pragma once
// The About box's update check, whatever toolkit draws the box and whatever
// XML library reads the versions document: what is fetched, how the Version
// and URL the reader found are judged (by the rules of net/update_check.h)
// and compared, and what the box shows for each outcome. The box is reached only through
// AboutBoxView, the document only through VersionsReader. User-interface thread only.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "net/http_client.h"
#include "net/update_check.h"
#include "ui/app_constants.h"

namespace tarnwell {

inline constexpr char kCheckingText[] = "Checking for Updates";
inline constexpr char kFetchErrorText[] = "Error fetching update info";
inline constexpr char kNewerVersionText[] = "A Newer Version Is Available";
inline constexpr char kUpToDateText[] = "The current version is up to date";
inline constexpr char kUpdateErrorCaption[] = "Check for Updates";
inline constexpr char kElementNotSingleText[] = "Element does not contain a single text node";

// The text of the box that a failure of the connection itself shows.
std::string UpdateSocketErrorText(int code);

// Where the versions document is fetched from. The program always uses the
// default; tests point the check at a server of their own.
struct UpdateSource {
    std::string host = AppConstants::kUpdateServerHost;
    std::uint16_t port = 80;
    // How long the whole check may take; never more than kUpdateCheckTimeLimit.
    std::chrono::milliseconds timeLimit = kUpdateCheckTimeLimit;
};

// "http://host[:port]/versions/versions.xml"; an IPv6 address in brackets.
std::string UpdateAddress(const UpdateSource& source);

// What an XML reader found for the product in the versions document
// (<ProductVersions><Product><Version/><URL/></Product></ProductVersions>).
struct VersionsEntry {
    enum class Outcome {
        Found,
        Missing,    // an element the check needs is not there
        Malformed,  // not a well-formed document, or Version / URL not one text node; see error
    };
    Outcome outcome = Outcome::Missing;
    std::string error;
    std::string version;  // the texts as the document holds them, in the system's 8-bit text
    std::string url;
    // Malformed because of the URL alone; `version` holds the Version's text.
    bool urlMalformed = false;
};

// How the check takes what the reader found. The Version is judged before the
// URL: one that is no number makes the entry Missing, whatever the URL holds.
// Found sets `version`.
VersionsEntry::Outcome JudgeVersionsEntry(const VersionsEntry& entry,
                                          std::string_view decimalSeparator, double& version);

class VersionsReader {
  public:
    virtual ~VersionsReader() = default;
    virtual VersionsEntry Read(const std::string& body, const std::string& product) = 0;
};

class AboutBoxView {
  public:
    virtual ~AboutBoxView() = default;
    virtual void SetStatus(const std::string& text) = 0;   // lblStatus
    virtual void SetStatus2(const std::string& text) = 0;  // lblStatus2
    virtual void ShowDownload(bool shown) = 0;             // cmdDownload
    // Modal, owned by the box, caption "Check for Updates", no icon, OK.
    virtual void ShowUpdateError(const std::string& text) = 0;
    // The wait cursor, and the box repainted before the exchange blocks.
    virtual void BeginWait() = 0;
    virtual void EndWait() = 0;
};

// cmdUpdatesClick. Blocks for the whole exchange (`fetch`). A failure that is
// neither a missing element nor a failure of the connection escapes as
// std::runtime_error, after the status has been cleared and the cursor
// restored, for the error display. `downloadUrl` takes the address of a check
// that gets as far as it, also when the version is not newer, without the
// white space around it.
void CheckForUpdates(AboutBoxView& view, VersionsReader& reader,
                     const std::function<HttpResult()>& fetch, std::string_view decimalSeparator,
                     std::string& downloadUrl);

}  // namespace tarnwell
