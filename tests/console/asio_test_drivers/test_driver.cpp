// An invented ASIO driver for the probe's tests: a tiny in-process COM server with one behaviour, which the build
// chooses (QUIMBLE_TEST_DRIVER_BEHAVIOUR), standing for the drivers that take hosts down.
#include "asio_driver.h"

#include <windows.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

enum class Behaviour {
    Loads = 1,
    InitFalse,
    InitAccessViolation,
    InitNeverReturns,
    InitThrows,
    InitExitProcess,
    ReleaseCrashes,
    FactoryFails,
};
constexpr Behaviour kBehaviour = static_cast<Behaviour>(QUIMBLE_TEST_DRIVER_BEHAVIOUR);

// What a probe must never call; a driver that meets one ends its process with this code, which the tests look for.
constexpr UINT kForbiddenCall = 0x5EED;

HMODULE g_module = nullptr;
LONG g_objects = 0;

void ForbiddenCall()
{
    TerminateProcess(GetCurrentProcess(), kForbiddenCall);
}

// A write to a page that allows no access. (Not to address zero: Wine may have the first page mapped.)
void WriteToForbiddenPage()
{
    int* page = static_cast<int*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS));
    *static_cast<volatile int*>(page) = 1;
}

DWORD WINAPI WaitForever(void*)
{
    Sleep(INFINITE);
    return 0;
}

// A thread and a process that outlive the call, as a driver's helpers may: the probe must end them all.
void StartHelpersAndWaitForever()
{
    CreateThread(nullptr, 0, WaitForever, nullptr, 0, nullptr);
    wchar_t system[MAX_PATH];
    wchar_t self[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    GetModuleFileNameW(g_module, self, MAX_PATH);
    std::wstring commandLine = std::wstring(L"\"") + system + L"\\rundll32.exe\" \"" + self + L"\",QuimbleTestWait";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    Sleep(INFINITE);
}

// QueryInterface of an object with one interface besides IUnknown.
HRESULT AnswerFor(IUnknown* self, REFIID own, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != own)
        return E_NOINTERFACE;
    *object = self;
    self->AddRef();
    return S_OK;
}

class TestDriver final : public AsioDriver {
public:
    explicit TestDriver(const CLSID& clsid) : clsid_(clsid) { InterlockedIncrement(&g_objects); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        return AnswerFor(this, clsid_, iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            if (kBehaviour == Behaviour::ReleaseCrashes)
                WriteToForbiddenPage();
            InterlockedDecrement(&g_objects);
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    long ASIO_METHOD init(void* systemHandle) override
    {
        // A host hands its driver a window of its own.
        if (!IsWindow(static_cast<HWND>(systemHandle))) {
            message_ = "init was given no window";
            return 0;
        }
        switch (kBehaviour) {
        case Behaviour::InitFalse:
            return 0;
        case Behaviour::InitAccessViolation:
            WriteToForbiddenPage();
            return 1;
        case Behaviour::InitNeverReturns:
            StartHelpersAndWaitForever();
            return 1;
        case Behaviour::InitThrows:
            throw std::runtime_error("invented driver: init throws");
        case Behaviour::InitExitProcess:
            ExitProcess(3);
        default:
            return 1;
        }
    }
    void ASIO_METHOD getDriverName(char name[32]) override
    {
        std::strcpy(name, sizeof(void*) == 8 ? "Quimble Test Driver (64-bit)" : "Quimble Test Driver (32-bit)");
    }
    long ASIO_METHOD getDriverVersion() override { return 7; }
    void ASIO_METHOD getErrorMessage(char text[124]) override { std::strcpy(text, message_); }
    long ASIO_METHOD start() override { return ForbiddenCall(), 0; }
    long ASIO_METHOD stop() override { return 0; }
    long ASIO_METHOD getChannels(long* inputs, long* outputs) override
    {
        *inputs = 2;
        *outputs = 2;
        return kAsioOk;
    }
    long ASIO_METHOD getLatencies(long* input, long* output) override
    {
        *input = *output = 256;
        return kAsioOk;
    }
    long ASIO_METHOD getBufferSize(long* minimum, long* maximum, long* preferred, long* granularity) override
    {
        *minimum = 64;
        *maximum = 1024;
        *preferred = 256;
        *granularity = 64;
        return kAsioSuccess;
    }
    long ASIO_METHOD canSampleRate(double) override { return kAsioOk; }
    long ASIO_METHOD getSampleRate(double* rate) override
    {
        *rate = 48000;
        return kAsioOk;
    }
    long ASIO_METHOD setSampleRate(double) override { return kAsioOk; }
    long ASIO_METHOD getClockSources(void*, long*) override { return kNotPresent; }
    long ASIO_METHOD setClockSource(long) override { return kNotPresent; }
    long ASIO_METHOD getSamplePosition(void*, void*) override { return kNotPresent; }
    long ASIO_METHOD getChannelInfo(void*) override { return kNotPresent; }
    long ASIO_METHOD createBuffers(void*, long, long, void*) override { return ForbiddenCall(), 0; }
    long ASIO_METHOD disposeBuffers() override { return kNotPresent; }
    long ASIO_METHOD controlPanel() override { return ForbiddenCall(), 0; }
    long ASIO_METHOD future(long, void*) override { return kNotPresent; }
    long ASIO_METHOD outputReady() override { return kNotPresent; }

private:
    static constexpr long kNotPresent = -1000;
    LONG references_ = 1;
    CLSID clsid_;
    const char* message_ = "No invented device present";
};

class Factory final : public IClassFactory {
public:
    explicit Factory(const CLSID& clsid) : clsid_(clsid) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        return AnswerFor(this, IID_IClassFactory, iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (kBehaviour == Behaviour::FactoryFails)
            return E_OUTOFMEMORY;
        TestDriver* driver = new TestDriver(clsid_);
        const HRESULT result = driver->QueryInterface(iid, object);
        driver->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    LONG references_ = 1;
    CLSID clsid_;
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_module = instance;
    return TRUE;
}

// Any class id: each of these DLLs is registered under one, which its object then answers to.
extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    Factory* factory = new Factory(clsid);
    const HRESULT result = factory->QueryInterface(iid, object);
    factory->Release();
    return result;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow()
{
    return g_objects == 0 ? S_OK : S_FALSE;
}

// The process the driver that never returns leaves behind, started through rundll32.
extern "C" __declspec(dllexport) void CALLBACK QuimbleTestWait(HWND, HINSTANCE, char*, int)
{
    Sleep(INFINITE);
}
