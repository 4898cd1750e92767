#include "engine/process_changes.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

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

// One batch's walk over its records. The buffers are reused from record to
// record: only a record's own texts may cost an allocation, and these keep
// their storage once grown.
class BatchWalk {
  public:
    BatchWalk(BatchTarget& target, BatchServices& services)
        : target_(target),
          services_(services),
          page_(target.OwnerPage),
          matcher_(target.Mask, false, services.text),
          stamp_(services.regional) {}

    void Process(const NotifyRecordView& view);

  private:
    void Describe(std::uint32_t action, bool folderMark);
    const std::string& LookupPath(bool folderMark);
    void Report();
    void WriteLog();

    BatchTarget& target_;
    BatchServices& services_;
    PageSurface& page_;
    FileNameMatcher matcher_;
    TimeStampText stamp_;
    ChangeRecord record_;
    std::u16string name_;
    std::string lookupPath_;
};

void BatchWalk::Process(const NotifyRecordView& view) {
    // The name may sit at any alignment; copy it before reading it as UTF-16.
    name_.resize(view.NameUnits);
    if (view.NameUnits > 0) std::memcpy(name_.data(), view.FileName, view.NameUnits * 2);
    record_.RelativeName = services_.text.FromUtf16(name_.data(), name_.size());

    // A record with no action is a mark: changes below the folder it names
    // (the watched folder itself after an overflow) may be missing. The mask
    // is about names of files, and a mark names none: hiding it would make a
    // lost change silent.
    const bool isMark = view.Action == 0;
    if (isMark || matcher_.Matches(record_.RelativeName)) {
        if (target_.ChangeCount < std::numeric_limits<std::int32_t>::max()) {
            ++target_.ChangeCount;
        }
        Describe(view.Action, isMark && !record_.RelativeName.empty());
        Report();
        ShowChangeCount(page_, target_.ChangeCount);
    }
    TrimResults(page_);
}

// `folderMark`: a mark that names a folder below the watched one.
void BatchWalk::Describe(std::uint32_t action, bool folderMark) {
    record_.Action = action;
    record_.ActionWord = ActionWord(action);
    AssignFullPath(record_.FullPath, target_.Directory, record_.RelativeName, services_.syntax);
    // Such a folder is shown as the watched folder is after an overflow: with
    // the separator at its end.
    if (folderMark) record_.FullPath += services_.syntax.separator;
    const std::string& lookup = LookupPath(folderMark);
    FileFacts facts = services_.files.FactsOf(lookup);
    record_.Size = facts.size;
    record_.Owner = std::move(facts.owner);
}

// "?" may stand for what the system text cannot hold; the file is then looked
// up by the name it really has, or another file of the displayed name would
// lend it its size and owner.
const std::string& BatchWalk::LookupPath(bool folderMark) {
    if (record_.RelativeName.find('?') == std::string::npos) return record_.FullPath;
    AssignFullPath(lookupPath_, target_.Directory,
                   services_.text.LookupName(name_.data(), name_.size()), services_.syntax);
    if (folderMark) lookupPath_ += services_.syntax.separator;
    return lookupPath_;
}

void BatchWalk::Report() {
    if (page_.OutputToScreen()) {
        AddResultRow(page_, stamp_.For(services_.clock()), record_);
    }
    if (target_.OutputToFile != 0) WriteLog();
}

void BatchWalk::WriteLog() {
    const std::string& logStamp = stamp_.For(services_.clock());
    errno = 0;
    if (WriteLogLine(target_.LogFile, target_.LogFormat, logStamp, record_) || target_.LogFailed)
        return;
    const int error = errno != 0 ? errno : EIO;
    // Told once per run: a full disk would otherwise raise one message per
    // change while the watch goes on.
    target_.LogFailed = true;
    page_.LogWriteFailed(error);
}

}  // namespace

void ProcessChangeBatch(const std::byte* buffer, std::size_t size, std::size_t& currentRecord,
                        BatchTarget& target, BatchServices& services) {
    services.files.BeginBatch();
    // Nothing is painted while a hand-over runs, so the page may show the
    // whole batch in one step at its end.
    const PageBatch batch(target.OwnerPage);
    BatchWalk walk(target, services);
    NotifyRecordCursor cursor(buffer, size, currentRecord);
    // The first record is always processed: an overflow hands over a cleared
    // buffer, which reads as one empty record for the watched folder itself.
    do {
        currentRecord = cursor.Offset();
        walk.Process(cursor.Current());
    } while (cursor.Advance());
    currentRecord = cursor.Offset();
}

}  // namespace tarnwell
