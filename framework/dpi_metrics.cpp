// System metrics at a window's DPI, through the calls of Windows 10 looked up at run time: Windows 7 lacks them.
#include "dpi_metrics.h"

namespace Wfx {

namespace {

using DpiForWindowCall = UINT(WINAPI*)(HWND);
using MetricForDpiCall = int(WINAPI*)(int, UINT);

// A user32 function by name, or null where this Windows has none. The program imports user32, so it is loaded.
template <typename Call> Call User32Call(const char* name)
{
    FARPROC found = GetProcAddress(GetModuleHandleA("user32.dll"), name);
    return reinterpret_cast<Call>(reinterpret_cast<void*>(found));
}

}  // namespace

int SystemMetricForWindow(HWND window, int index)
{
    static const auto dpiForWindow = User32Call<DpiForWindowCall>("GetDpiForWindow");
    static const auto metricForDpi = User32Call<MetricForDpiCall>("GetSystemMetricsForDpi");
    if (!dpiForWindow || !metricForDpi)
        return GetSystemMetrics(index);
    const UINT dpi = dpiForWindow(window);
    if (dpi == 0)
        return GetSystemMetrics(index);
    return metricForDpi(index, dpi);
}

}  // namespace Wfx
