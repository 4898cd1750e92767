#pragma once
// The pictures of the tool bar and of the file name box's browse button,
// drawn in code at 16 x 16 (and at twice that for high-density screens), so
// they need no image files. User-interface thread only.

#include <QIcon>

namespace tarnwell {

QIcon NewPagePicture();     // a blank page with a folded corner
QIcon StartWatchPicture();  // a written page with an orange arrow coming in from the left
QIcon StopWatchPicture();   // a black cross
QIcon BrowseDotsPicture();  // three dots, as on a "..." button

}  // namespace tarnwell
