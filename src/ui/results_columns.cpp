#include "ui/results_columns.h"

#include <cstdint>
#include <limits>

#include "engine/change_record.h"
#include "engine/notify_codes.h"
#include "engine/result_outputs.h"
#include "engine/time_stamp.h"

namespace tarnwell {

std::array<ColumnFit, 5> ResultsColumnFits(const RegionalSettings& settings,
                                           const std::string& ownerSample) {
    std::array<ColumnFit, 5> fits;

    // Two-digit day, month and hour, so every field is at its widest, with
    // either designator; a font may draw one of them wider.
    for (const int hour : {12, 23}) {
        const LocalDateTime widest{2026, 12, 28, hour, 58, 58, 0};
        fits[0].texts.push_back(FormatTimeStamp(widest, settings));
    }

    fits[1].takesRest = true;

    for (ChangeAction action = FILE_ACTION_ADDED; action <= FILE_ACTION_RENAMED_NEW_NAME; ++action)
        fits[2].texts.emplace_back(ActionWord(action));

    fits[3].texts.push_back(FormatSize(std::numeric_limits<std::uint32_t>::max()));

    if (!ownerSample.empty()) fits[4].texts.push_back(ownerSample);
    return fits;
}

}  // namespace tarnwell
