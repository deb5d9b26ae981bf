// System metrics at the DPI a window is shown at, so what the framework loads for a window is sharp at any scale.
#pragma once

#include <windows.h>

namespace Wfx {

// The metric (an SM_ index) at the window's DPI. Where Windows has no per-window DPI (before Windows 10 version
// 1607), or the window is gone, the system-wide value, which is at the system DPI for a DPI-aware program.
int SystemMetricForWindow(HWND window, int index);

}  // namespace Wfx
