// The baseline of the probe's rows: what a child of quimble64 probe does to a driver, and nothing around it. Given
// one class id it is the minimal child of the raw loop; given many, it loads them all in one process, as an
// unprotected host would, for the price of isolation.
// Usage: raw_probe_child CLSID...
#include "asio_driver.h"

#include <windows.h>
#include <objbase.h>

int wmain(int argc, wchar_t** argv)
{
    CoInitialize(nullptr);
    const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    int loaded = 0;
    for (int index = 1; index < argc; ++index) {
        CLSID clsid;
        void* object = nullptr;
        if (CLSIDFromString(argv[index], &clsid) != NOERROR ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, clsid, &object)))
            continue;
        AsioDriver* driver = static_cast<AsioDriver*>(object);
        if (driver->init(window)) {
            char name[32] = {};
            long inputs = 0, outputs = 0, minimum = 0, maximum = 0, preferred = 0, granularity = 0;
            double rate = 0;
            driver->getDriverName(name);
            driver->getDriverVersion();
            driver->getChannels(&inputs, &outputs);
            driver->getBufferSize(&minimum, &maximum, &preferred, &granularity);
            driver->getSampleRate(&rate);
            loaded += inputs > 0;
        }
        driver->Release();
    }
    CoUninitialize();
    // Every driver loaded, or the exit code says how many did not.
    return argc - 1 - loaded;
}
