#include "engine/process_changes.h"

#include <cerrno>
#include <cstring>
#include <limits>

#include "engine/change_record.h"
#include "engine/location_split.h"
#include "engine/mask_match.h"
#include "engine/notify_record.h"
#include "engine/result_outputs.h"
#include "engine/time_stamp.h"

namespace tarnwell {

namespace {

// A burst brings hundreds of records within one second, and their stamps
// differ only in the milliseconds, which the text leaves out: each reading of
// the clock is still taken, but the text is built again only when the second
// moves on.
class TimeStampText {
  public:
    explicit TimeStampText(const RegionalSettings& settings) : settings_(settings) {}

    const std::string& For(const LocalDateTime& when) {
        if (!built_ || !SameSecond(when, shown_)) {
            text_.clear();
            AppendTimeStamp(text_, when, settings_);
            shown_ = when;
            built_ = true;
        }
        return text_;
    }

  private:
    static bool SameSecond(const LocalDateTime& a, const LocalDateTime& b) {
        return a.second == b.second && a.minute == b.minute && a.hour == b.hour && a.day == b.day &&
               a.month == b.month && a.year == b.year;
    }

    const RegionalSettings& settings_;
    LocalDateTime shown_;
    std::string text_;
    bool built_ = false;
};

// A page's batch that ends however the routine is left, also by an error.
class PageBatch {
  public:
    explicit PageBatch(PageSurface& page) : page_(page) { page_.BeginBatch(); }
    ~PageBatch() { page_.EndBatch(); }
    PageBatch(const PageBatch&) = delete;
    PageBatch& operator=(const PageBatch&) = delete;

  private:
    PageSurface& page_;
};

// The count stops at its largest value instead of wrapping.
void CountChange(std::int32_t& count) {
    if (count < std::numeric_limits<std::int32_t>::max()) ++count;
}

void WriteLogLineOrTell(BatchTarget& target, const std::string& timeStamp,
                        const ChangeRecord& record) {
    errno = 0;
    if (WriteLogLine(target.LogFile, target.LogFormat, timeStamp, record) || target.LogFailed)
        return;
    const int error = errno != 0 ? errno : EIO;
    // Told once per run: a full disk would otherwise raise one message per
    // change while the watch goes on.
    target.LogFailed = true;
    target.OwnerPage.LogWriteFailed(error);
}

}  // namespace

void ProcessChangeBatch(const std::byte* buffer, std::size_t size, std::size_t& currentRecord,
                        BatchTarget& target, BatchServices& services) {
    services.files.BeginBatch();

    PageSurface& page = target.OwnerPage;
    // Nothing is painted while a hand-over runs, so the page may show the
    // whole batch in one step at its end.
    const PageBatch batch(page);
    FileNameMatcher matcher(target.Mask, false, services.text);
    NotifyRecordCursor cursor(buffer, size, currentRecord);

    // Reused from record to record: only a record's own texts may cost an
    // allocation, and these keep their storage once grown.
    ChangeRecord record;
    std::u16string name;
    std::string lookupPath;
    TimeStampText stamp(services.regional);

    // The first record is always processed: an overflow hands over a cleared
    // buffer, which reads as one empty record for the watched folder itself.
    do {
        currentRecord = cursor.Offset();
        const NotifyRecordView view = cursor.Current();

        // The name may sit at any alignment; copy it before reading it as UTF-16.
        name.resize(view.NameUnits);
        if (view.NameUnits > 0) std::memcpy(name.data(), view.FileName, view.NameUnits * 2);
        record.RelativeName = services.text.FromUtf16(name.data(), name.size());

        // A record with no action is a mark: changes below the folder it names
        // (the watched folder itself after an overflow) may be missing. The
        // mask is about names of files, and a mark names none: hiding it
        // would make a lost change silent.
        const bool isMark = view.Action == 0;
        if (isMark || matcher.Matches(record.RelativeName)) {
            CountChange(target.ChangeCount);
            record.Action = view.Action;
            record.ActionWord = ActionWord(view.Action);
            AssignFullPath(record.FullPath, target.Directory, record.RelativeName, services.syntax);
            // A folder below the watched one is shown as the watched folder
            // is after an overflow: with the separator at its end.
            const bool folderMark = isMark && !record.RelativeName.empty();
            if (folderMark) record.FullPath += services.syntax.separator;
            // "?" may stand for what the system text cannot hold; the file is
            // then looked up by the name it really has, or another file of the
            // displayed name would lend it its size and owner.
            const std::string* lookup = &record.FullPath;
            if (record.RelativeName.find('?') != std::string::npos) {
                AssignFullPath(lookupPath, target.Directory,
                               services.text.LookupName(name.data(), name.size()), services.syntax);
                if (folderMark) lookupPath += services.syntax.separator;
                lookup = &lookupPath;
            }
            record.Size = services.files.SizeOf(*lookup);
            record.Owner = services.files.OwnerOf(*lookup);

            if (page.OutputToScreen()) {
                AddResultRow(page, stamp.For(services.clock()), record);
            }
            if (target.OutputToFile != 0) {
                WriteLogLineOrTell(target, stamp.For(services.clock()), record);
            }
            ShowChangeCount(page, target.ChangeCount);
        }
        TrimResults(page);
    } while (cursor.Advance());
    currentRecord = cursor.Offset();
}

}  // namespace tarnwell
