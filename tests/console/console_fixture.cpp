// Seeding and clearing the prefix's machine-wide keys and files for the console tests.
#include "console_fixture.h"

#include "host_path.h"
#include "registry_key.h"
#include "unique_handle.h"
#include "test_prefix.h"

#include <cstdio>
#include <cstdlib>

namespace {

std::string SystemFolder(UINT(WINAPI* query)(LPSTR, UINT))
{
    char folder[MAX_PATH] = {};
    query(folder, MAX_PATH);
    return folder;
}

TestView MakeView64()
{
    return {64,
            "Software\\ASIO",
            "Software\\ASIO Quimble",
            "Software\\Classes\\CLSID",
            "HKLM\\Software\\ASIO",
            "HKLM\\Software\\ASIO Quimble",
            SystemFolder(GetSystemDirectoryA),
            IMAGE_FILE_MACHINE_AMD64};
}

TestView MakeView32()
{
    return {32,
            "Software\\WOW6432Node\\ASIO",
            "Software\\WOW6432Node\\ASIO Quimble",
            "Software\\Classes\\WOW6432Node\\CLSID",
            "HKLM\\Software\\WOW6432Node\\ASIO",
            "HKLM\\Software\\WOW6432Node\\ASIO Quimble",
            SystemFolder(GetSystemWow64DirectoryA),
            IMAGE_FILE_MACHINE_I386};
}

// The headers the loader reads first: the DOS header pointing at the PE signature and the file header after it.
std::string ImageHeaders(WORD machine, bool dll)
{
    IMAGE_DOS_HEADER dos = {};
    dos.e_magic = IMAGE_DOS_SIGNATURE;
    dos.e_lfanew = sizeof dos;
    const DWORD signature = IMAGE_NT_SIGNATURE;
    IMAGE_FILE_HEADER file = {};
    file.Machine = machine;
    file.Characteristics = IMAGE_FILE_EXECUTABLE_IMAGE | (dll ? IMAGE_FILE_DLL : 0);
    return std::string(reinterpret_cast<const char*>(&dos), sizeof dos) +
           std::string(reinterpret_cast<const char*>(&signature), sizeof signature) +
           std::string(reinterpret_cast<const char*>(&file), sizeof file);
}

}  // namespace

const TestView& View64()
{
    static const TestView view = MakeView64();
    return view;
}

const TestView& View32()
{
    static const TestView view = MakeView32();
    return view;
}

const std::vector<const TestView*>& BothViews()
{
    static const std::vector<const TestView*> views = {&View64(), &View32()};
    return views;
}

std::string TestClsid(int number)
{
    char clsid[40];
    std::snprintf(clsid, sizeof clsid, "{5EED%04X-0C0F-4E1D-9A5B-00000000C0DE}", number);
    return clsid;
}

bool ThirtyTwoBitEditionRuns()
{
    const char* runnable = std::getenv("QUIMBLE_RUNNABLE_EDITIONS");
    return !runnable || std::string(runnable).find("32") != std::string::npos;
}

void ConsoleTest::SetUp()
{
    ASSERT_TRUE(InTestPrefix(QUIMBLE_TEST_PREFIX));
    inTestPrefix_ = true;
    Clear();
}

void ConsoleTest::TearDown()
{
    if (inTestPrefix_)
        Clear();
}

void ConsoleTest::Clear()
{
    for (const TestView* view : BothViews())
        for (const std::string& path : {view->active, view->hidden}) {
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
            ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path)) << path;
        }
    for (const std::string& path : classes_)
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
    for (const std::string& path : files_)
        DeleteFileA(path.c_str());
    for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder)
        RemoveDirectoryA(folder->c_str());
    classes_.clear();
    files_.clear();
    folders_.clear();
}

ConsoleRun ConsoleTest::Run(const std::vector<std::string>& arguments, OutputTo output)
{
    return RunConsole(WindowsPathOf(QUIMBLE_CONSOLE_EXE), arguments, output);
}

ConsoleRun ConsoleTest::RunThirtyTwoBitProgram(const std::vector<std::string>& arguments)
{
    return RunConsole(WindowsPathOf(QUIMBLE_OTHER_CONSOLE_EXE), arguments);
}

void ConsoleTest::Register(const TestView& view, const std::string& clsid, DWORD type, const std::string& server)
{
    const std::string path = view.classes + "\\" + clsid;
    classes_.push_back(path);
    RegistryTree registration;
    registration.Subkey("InprocServer32", RegistryTree()
                                              .Value("", type, std::string(server.c_str(), server.size() + 1))
                                              .String("ThreadingModel", "Both"));
    WriteTree(HKEY_LOCAL_MACHINE, path, registration);
}

void ConsoleTest::Driver(const TestView& view, const std::string& location, const std::string& name, int clsid,
                         const std::string& description, DWORD type, const std::string& server)
{
    RegistryTree entry = RegistryTree().String("CLSID", TestClsid(clsid)).Dword("Version", 3);
    if (!description.empty())
        entry.String("Description", description);
    WriteTree(HKEY_LOCAL_MACHINE, location + "\\" + name, entry);
    if (type)
        Register(view, TestClsid(clsid), type, server);
}

void ConsoleTest::PlaceImage(const std::string& path, WORD machine, bool dll)
{
    const std::string folder = path.substr(0, path.find_last_of('\\'));
    if (CreateDirectoryA(folder.c_str(), nullptr))
        folders_.push_back(folder);
    KernelHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.IsOpen()) << "CreateFileA(\"" << path << "\"), error " << GetLastError();
    files_.push_back(path);
    const std::string headers = ImageHeaders(machine, dll);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), headers.data(), static_cast<DWORD>(headers.size()), &written, nullptr));
}

RegistryTree ConsoleTest::Snapshot() const
{
    RegistryTree all;
    for (const TestView* view : BothViews())
        for (const std::string& path : {view->active, view->hidden})
            if (KeyExists(HKEY_LOCAL_MACHINE, path))
                all.Subkey(path, ReadTree(HKEY_LOCAL_MACHINE, path));
    for (const std::string& path : classes_)
        all.Subkey(path, ReadTree(HKEY_LOCAL_MACHINE, path));
    return all;
}
