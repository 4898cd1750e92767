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

void ProcessChangeBatch(const std::byte* buffer, std::size_t size, std::size_t& currentRecord,
                        BatchTarget& target, BatchServices& services) {
    services.files.BeginBatch();

    PageSurface& page = target.OwnerPage;
    FileNameMatcher matcher(target.Mask, false, services.text);
    NotifyRecordCursor cursor(buffer, size, currentRecord);

    // Reused from record to record: only a record's own texts may cost an
    // allocation, and these keep their storage once grown.
    ChangeRecord record;
    std::u16string name;
    std::string logStamp;

    // The first record is always processed: an overflow hands over a cleared
    // buffer, which reads as one empty record for the watched folder itself.
    do {
        currentRecord = cursor.Offset();
        const NotifyRecordView view = cursor.Current();

        // The name may sit at any alignment; copy it before reading it as UTF-16.
        name.resize(view.NameUnits);
        if (view.NameUnits > 0) std::memcpy(name.data(), view.FileName, view.NameUnits * 2);
        record.RelativeName = services.text.FromUtf16(name.data(), name.size());

        if (matcher.Matches(record.RelativeName)) {
            if (target.ChangeCount < std::numeric_limits<std::int32_t>::max()) {
                ++target.ChangeCount;
            }
            record.Action = view.Action;
            record.ActionWord = ActionWord(view.Action);
            AssignFullPath(record.FullPath, target.Directory, record.RelativeName, services.syntax);
            record.Size = services.files.SizeOf(record.FullPath);
            record.Owner = services.files.OwnerOf(record.FullPath);

            if (page.OutputToScreen()) {
                AddResultRow(page, FormatTimeStamp(services.clock(), services.regional), record);
            }
            if (target.OutputToFile != 0) {
                logStamp.clear();
                AppendTimeStamp(logStamp, services.clock(), services.regional);
                errno = 0;
                if (!WriteLogLine(target.LogFile, target.LogFormat, logStamp, record) &&
                    !target.LogFailed) {
                    const int error = errno != 0 ? errno : EIO;
                    // Told once per run: a full disk would otherwise raise one
                    // message per change while the watch goes on.
                    target.LogFailed = true;
                    page.LogWriteFailed(error);
                }
            }
            ShowChangeCount(page, target.ChangeCount);
        }
        TrimResults(page);
    } while (cursor.Advance());
    currentRecord = cursor.Offset();
}

}  // namespace tarnwell
