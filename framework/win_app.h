// The application object: window map, per-thread hand-over records, default window class and message loop.
#pragma once

#include <windows.h>
#include <map>
#include <vector>

namespace Wfx {

class CWnd;

// The framework's default window class, registered by the application object and used by every window created
// without a class name of its own.
constexpr char kDefaultClassName[] = "Wfx Window";

// One per thread that creates windows through the framework; hands the object being created to its window's
// first message.
struct ThreadRecord {
    CWnd* pendingWindow;
};

// Hands the object to the first message of the window being created, and takes it back on every path out, so no
// later window of the thread takes this object.
class PendingWindowScope {
public:
    PendingWindowScope(ThreadRecord& record, CWnd* window) : record_(record) { record_.pendingWindow = window; }
    ~PendingWindowScope() { record_.pendingWindow = nullptr; }

    PendingWindowScope(const PendingWindowScope&) = delete;
    PendingWindowScope& operator=(const PendingWindowScope&) = delete;

private:
    ThreadRecord& record_;
};

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();

    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL OnStartup();
    virtual int PumpMessages();

    int Execute();

    CWnd* FindInMap(HWND window);
    ThreadRecord* AcquireThreadRecord();

    HINSTANCE GetInstanceHandle() const { return instanceHandle; }
    HINSTANCE GetResourceHandle() const { return resourceHandle; }
    DWORD GetTlsIndex() const { return tlsIndex; }
    WNDPROC GetDefaultWindowProc() const { return defaultWindowProc; }

private:
    friend class CWnd;  // AddToMap and RemoveFromMap change the map under its lock

    // Ordered by the handle's value as an unsigned 32-bit number.
    struct HandleOrder {
        bool operator()(HWND a, HWND b) const { return reinterpret_cast<UINT_PTR>(a) < reinterpret_cast<UINT_PTR>(b); }
    };

    void DefaultClass();

    CRITICAL_SECTION mapLock;
    HINSTANCE instanceHandle;
    HINSTANCE resourceHandle;
    std::map<HWND, CWnd*, HandleOrder> windowMap;
    std::vector<ThreadRecord*> threadRecords;
    DWORD tlsIndex;
    WNDPROC defaultWindowProc;
};

// The live application object, or null when there is none.
CWinApp* CurrentApp();
// The live application object; throws the framework's "not initialised" failure when there is none.
CWinApp& RequireCurrentApp();
// The keyboard messages that the message loop offers to PreTranslateMessage, and a dialog to the dialog manager.
bool IsKeyboardMessage(UINT message);

}  // namespace Wfx
