// The application object: current-application pointer, window map under its lock, per-thread records, message loop.
#include "win_app.h"

#include <exception>
#include <memory>
#include <new>

#include "held_exception.h"
#include "win_exception.h"
#include "wnd.h"

namespace Wfx {

namespace {

CWinApp* currentApp = nullptr;

class LockHolder {
public:
    explicit LockHolder(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~LockHolder() { LeaveCriticalSection(&lock_); }

    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

private:
    CRITICAL_SECTION& lock_;
};

bool IsMouseMessage(UINT message)
{
    return message >= WM_MOUSEMOVE && message <= WM_XBUTTONDBLCLK;
}

// The application's last layer of reporting: one box for whatever reached it.
void ShowUnhandled(const std::exception_ptr& exception)
{
    try {
        std::rethrow_exception(exception);
    } catch (const std::bad_alloc&) {
        MessageBoxA(nullptr, "Memory allocation failure", "Bad Alloc Exception", MB_OK);
    } catch (const CWinException& e) {
        e.ShowMessage();
    } catch (...) {
        MessageBoxA(nullptr, "Unknown Exception", "Error", MB_OK);
    }
}

}  // namespace

CWinApp* CurrentApp()
{
    return currentApp;
}

CWinApp::CWinApp()
    : instanceHandle(nullptr),
      resourceHandle(nullptr),
      tlsIndex(TLS_OUT_OF_INDEXES),
      defaultWindowProc(nullptr)
{
    InitializeCriticalSection(&mapLock);
    try {
        if (currentApp)
            throw CWinException("Error!  An instance of CWinApp (or a class derived from CWinApp) is already running");

        tlsIndex = TlsAlloc();
        if (tlsIndex == TLS_OUT_OF_INDEXES)
            throw CWinException("CWinApp::CWinApp  Failed to allocate TLS Index");

        currentApp = this;
        instanceHandle = GetModuleHandleA(nullptr);
        resourceHandle = instanceHandle;
        DefaultClass();
    } catch (const CWinException& e) {
        e.ShowMessage();
        // Undo what this object took, so a later application object can still be constructed.
        if (currentApp == this)
            currentApp = nullptr;
        if (tlsIndex != TLS_OUT_OF_INDEXES)
            TlsFree(tlsIndex);
        DeleteCriticalSection(&mapLock);
        throw;
    }
}

CWinApp::~CWinApp()
{
    // A window's destruction may remove map entries (its own included), so the walk runs over a copy.
    std::vector<HWND> windows;
    windows.reserve(windowMap.size());
    for (const auto& entry : windowMap)
        windows.push_back(entry.first);
    for (HWND window : windows)
        DestroyWindow(window);
    windowMap.clear();
    // Nothing of this application rethrows what those windows' destruction held, so it is reported here rather
    // than thrown by the thread's next framework call, perhaps under another application object.
    if (std::exception_ptr held = TakeHeldException())
        ShowUnhandled(held);

    if (tlsIndex != TLS_OUT_OF_INDEXES) {
        TlsSetValue(tlsIndex, nullptr);
        TlsFree(tlsIndex);
    }

    for (ThreadRecord* record : threadRecords)
        delete record;
    threadRecords.clear();

    currentApp = nullptr;
    DeleteCriticalSection(&mapLock);
}

BOOL CWinApp::OnStartup()
{
    return TRUE;
}

int CWinApp::PumpMessages()
{
    MSG message;
    for (;;) {
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        // Messages sent from other threads are handled inside GetMessageA.
        RethrowHeldException();
        if (got == -1)
            return -1;
        if (got == 0)
            return LOWORD(message.wParam);

        BOOL consumed = FALSE;
        if (message.hwnd && (IsKeyboardMessage(message.message) || IsMouseMessage(message.message))) {
            // Every object on the chain is offered the message, also after one has consumed it.
            for (HWND window = message.hwnd; window; window = GetParent(window)) {
                CWnd* object = FindInMap(window);
                if (object && object->PreTranslateMessage(&message))
                    consumed = TRUE;
            }
        }
        if (consumed)
            continue;

        TranslateMessage(&message);
        DispatchMessageA(&message);
        RethrowHeldException();
    }
}

int CWinApp::Execute()
{
    try {
        BOOL started = OnStartup();
        RethrowHeldException();
        if (started)
            return PumpMessages();
        PostQuitMessage(-1);
        return -1;
    } catch (...) {
        ShowUnhandled(std::current_exception());
        throw;
    }
}

void CWinApp::DefaultClass()
{
    WNDCLASSA wc = {};
    wc.style = 0;
    wc.lpfnWndProc = StaticWindowProc;
    wc.hInstance = instanceHandle;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kDefaultClassName;

    WNDCLASSA existing = {};
    if (!GetClassInfoA(instanceHandle, kDefaultClassName, &existing)) {
        ATOM atom = RegisterClassA(&wc);
        if (atom == 0)
            throw CWinException("CWinApp::DefaultClass ... Failed to set Default class");
    }

    WNDCLASSA registered = {};
    if (!GetClassInfoA(instanceHandle, kDefaultClassName, &registered))
        throw CWinException("CWinApp::DefaultClass ... Failed to get Default class info");
    defaultWindowProc = registered.lpfnWndProc;
}

CWnd* CWinApp::FindInMap(HWND window)
{
    LockHolder lock(mapLock);
    auto entry = windowMap.find(window);
    return entry == windowMap.end() ? nullptr : entry->second;
}

ThreadRecord* CWinApp::AcquireThreadRecord()
{
    if (auto* record = static_cast<ThreadRecord*>(TlsGetValue(tlsIndex)))
        return record;

    auto record = std::make_unique<ThreadRecord>();
    {
        // Threads may create their first windows at the same time.
        LockHolder lock(mapLock);
        threadRecords.push_back(record.get());
    }
    TlsSetValue(tlsIndex, record.get());
    return record.release();
}

CWinApp& RequireCurrentApp()
{
    CWinApp* app = CurrentApp();
    if (!app)
        throw CWinException("Wfx has not been initialised properly.\n Start Wfx by inheriting from CWinApp.");
    return *app;
}

bool IsKeyboardMessage(UINT message)
{
    // 0x0108 is the old last keyboard message; WM_UNICHAR (0x0109) stays outside.
    return message >= WM_KEYDOWN && message <= 0x0108;
}

void CWnd::AddToMap()
{
    CWinApp& app = RequireCurrentApp();
    LockHolder lock(app.mapLock);
    if (!hWnd)
        throw CWinException("CWnd::AddToMap  can't add a NULL HWND");
    if (app.FindInMap(hWnd))
        throw CWinException("CWnd::AddToMap  HWND already in map");
    app.windowMap.emplace(hWnd, this);
}

BOOL CWnd::RemoveFromMap()
{
    CWinApp* app = CurrentApp();
    if (!app)
        return FALSE;

    LockHolder lock(app->mapLock);
    for (auto entry = app->windowMap.begin(); entry != app->windowMap.end(); ++entry) {
        if (entry->second == this) {
            app->windowMap.erase(entry);
            return TRUE;
        }
    }
    return FALSE;
}

}  // namespace Wfx
