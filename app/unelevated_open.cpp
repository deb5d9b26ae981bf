// The web link's way out of the elevated process: the desktop's own shell starts the browser with the user's
// ordinary rights, where a ShellExecuteA of ours would start it as administrator when it is not running yet.
#include "unelevated_open.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <string>

using Microsoft::WRL::ComPtr;

UnelevatedOpenCalls unelevatedOpenCalls = {OpenThroughDesktopShell, ProcessIsElevated, ShellExecuteA};

namespace {

// COM on the calling thread for as long as this lives; the program has no other use for it.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // A thread already in the multithreaded apartment can make the calls as well.
    bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

// The desktop's Shell.Application object, reached the documented way: the shell windows' desktop, its top-level
// browser, the browser's active view, that view's background object, and the background's application.
ComPtr<IShellDispatch2> DesktopShellDispatch()
{
    ComPtr<IShellWindows> windows;
    if (FAILED(
            CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(windows.GetAddressOf()))))
        return nullptr;
    VARIANT anywhere = {};
    long desktopWindow = 0;
    ComPtr<IDispatch> desktop;
    // S_FALSE, with no object, when there is no desktop window.
    if (windows->FindWindowSW(&anywhere, &anywhere, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                              desktop.GetAddressOf()) != S_OK ||
        !desktop)
        return nullptr;
    ComPtr<IServiceProvider> services;
    if (FAILED(desktop.As(&services)))
        return nullptr;
    ComPtr<IShellBrowser> browser;
    if (FAILED(services->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(browser.GetAddressOf()))))
        return nullptr;
    ComPtr<IShellView> view;
    if (FAILED(browser->QueryActiveShellView(view.GetAddressOf())))
        return nullptr;
    ComPtr<IDispatch> background;
    if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(background.GetAddressOf()))))
        return nullptr;
    ComPtr<IShellFolderViewDual> folderView;
    if (FAILED(background.As(&folderView)))
        return nullptr;
    ComPtr<IDispatch> application;
    if (FAILED(folderView->get_Application(application.GetAddressOf())))
        return nullptr;
    ComPtr<IShellDispatch2> shell;
    if (FAILED(application.As(&shell)))
        return nullptr;

    // The click was the user's, so the desktop may bring the browser it starts to the front.
    DWORD explorer = 0;
    if (GetWindowThreadProcessId(reinterpret_cast<HWND>(static_cast<LONG_PTR>(desktopWindow)), &explorer))
        AllowSetForegroundWindow(explorer);
    return shell;
}

// A BSTR with the text of an ANSI string; null when out of memory.
BSTR AnsiToBstr(const char* text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return nullptr;
    BSTR converted = SysAllocStringLen(nullptr, length - 1);
    if (converted)
        MultiByteToWideChar(CP_ACP, 0, text, -1, converted, length);
    return converted;
}

bool ShellExecuteThrough(IShellDispatch2* shell, const char* address)
{
    BSTR file = AnsiToBstr(address);
    VARIANT none = {};  // VT_EMPTY: no parameters, no working folder
    VARIANT verb = {};
    verb.vt = VT_BSTR;
    verb.bstrVal = SysAllocString(L"open");
    VARIANT show = {};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    HRESULT result = E_OUTOFMEMORY;
    if (file && verb.bstrVal)
        result = shell->ShellExecute(file, none, none, verb, show);
    SysFreeString(file);
    VariantClear(&verb);
    // Wine's shell answers a start that failed with S_FALSE.
    return result == S_OK;
}

// Before the address, in the box that shows it.
constexpr char kAddressShownText[] =
    "ASIO Quimble runs with administrator rights and does not start your web browser with them. Please open this "
    "address in your browser yourself (Ctrl+C copies this message):\n\n";

void ShowAddress(HWND owner, const char* address)
{
    const std::string text = kAddressShownText + std::string(address);
    MessageBoxA(owner, text.c_str(), "ASIO Quimble", MB_OK);
}

}  // namespace

bool OpenThroughDesktopShell(const char* address)
{
    ComApartment apartment;
    if (!apartment.Usable())
        return false;
    // Every interface is released before the apartment ends.
    ComPtr<IShellDispatch2> shell = DesktopShellDispatch();
    return shell && ShellExecuteThrough(shell.Get(), address);
}

bool ProcessIsElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return true;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const BOOL known = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    // Not knowing counts as elevated: the browser must not be given administrator rights by mistake.
    return !known || elevation.TokenIsElevated;
}

bool OpenUnelevated(const char* address, HWND owner)
{
    if (unelevatedOpenCalls.openThroughDesktopShell(address))
        return true;
    if (!unelevatedOpenCalls.processIsElevated()) {
        // A browser started from here gets no more rights than this process has.
        HINSTANCE result = unelevatedOpenCalls.shellExecute(nullptr, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(result) > 32;
    }
    ShowAddress(owner, address);
    return false;
}
