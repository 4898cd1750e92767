#pragma once
// The application-wide values that several windows show or compare. Fixed at
// compile time, so they exist before any window and never change. Any thread.

namespace tarnwell::AppConstants {

// The application title: the caption of the watch pages' message boxes, of the
// error display and of the help warning; the product element of the versions
// document (compared case-sensitively).
inline constexpr char kProductName[] = "Tarnwell";

// Shown as "%1.2lf" (1.10) and compared with the versions document.
inline constexpr double kVersionNumber = 1.1;

inline constexpr char kWebSite[] = "https://tarnwell.example.org/";
inline constexpr char kCopyrightLine[] = "Copyright (C) 2026 The Tarnwell developers";

// Looked for beside the executable.
inline constexpr char kHelpFileName[] = "tarnwell.chm";

// Where the update check fetches the versions document from.
inline constexpr char kUpdateServerHost[] = "updates.tarnwell.example.org";

}  // namespace tarnwell::AppConstants
