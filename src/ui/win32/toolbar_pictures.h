#pragma once
// The tool bar's three 16 x 16 pictures, drawn with GDI at the window's scale:
// a blank page with a folded corner (New), a written page with an orange
// arrow pointing into it (Start), a black cross (Stop).
// User-interface thread only.

#include "ui/win32/windows_api.h"

namespace tarnwell::win32 {

// An image list of the three pictures in that order, each `size` pixels square.
HIMAGELIST MakeActionBarImages(int size);

}  // namespace tarnwell::win32
