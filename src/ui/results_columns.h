#pragma once
// How wide the columns of the results list are made: each column but File
// Name is as wide as the longest text it can show in the current regional
// settings, and File Name takes what is left. The face measures the texts in
// its font. Any thread.

#include <array>
#include <string>
#include <vector>

#include "platform/regional_settings.h"

namespace tarnwell {

struct ColumnFit {
    // The texts the column shows whole; the title comes on top of them.
    std::vector<std::string> texts;
    // The column gets the width the others leave (at least its texts').
    bool takesRest = false;
};

// Time Stamp, File Name, Action, File Size, Owner. `ownerSample` is an owner
// the list is likely to show (the user's own); empty when none is known.
std::array<ColumnFit, 5> ResultsColumnFits(const RegionalSettings& settings,
                                           const std::string& ownerSample);

}  // namespace tarnwell
