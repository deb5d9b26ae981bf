// Resolving a registered server path for a registry view and reading the file's headers for its architecture.
#include "server_file.h"

#include "unique_handle.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The variables whose values differ for a 32-bit process of 64-bit Windows, and what it reads in their place.
constexpr const char* kWow64Variables[][2] = {
    {"%ProgramFiles%", "%ProgramFiles(x86)%"},
    {"%CommonProgramFiles%", "%CommonProgramFiles(x86)%"},
};

// The folders of System32 that the file system redirector leaves alone for a 32-bit process.
constexpr const char* kExemptFolders[] = {"DriverStore", "catroot", "catroot2", "drivers\\etc", "LogFiles", "spool"};

std::string WindowsDirectory()
{
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryA(folder, MAX_PATH);
    return length < MAX_PATH ? std::string(folder, length) : std::string();
}

bool RedirectedHere()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::string Unquoted(const std::string& path)
{
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        return path.substr(1, path.size() - 2);
    return path;
}

bool IsRelative(const std::string& path)
{
    return !(path.size() >= 2 && path[1] == ':') && path.compare(0, 1, "\\") != 0 && path.compare(0, 1, "/") != 0;
}

std::vector<std::string> PathFolders()
{
    std::vector<std::string> folders;
    const DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
    std::string path(size, '\0');
    if (size == 0 || GetEnvironmentVariableA("PATH", &path[0], size) >= size)
        return folders;
    path.resize(std::strlen(path.c_str()));
    for (size_t start = 0; start <= path.size();) {
        const size_t end = std::min(path.find(';', start), path.size());
        const std::string folder = Unquoted(path.substr(start, end - start));
        if (!folder.empty())
            folders.push_back(folder.back() == '\\' ? folder.substr(0, folder.size() - 1) : folder);
        start = end + 1;
    }
    return folders;
}

std::string SystemDirectory()
{
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    return length < MAX_PATH ? std::string(folder, length) : std::string();
}

std::string SystemWow64Directory()
{
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemWow64DirectoryA(folder, MAX_PATH);
    return length < MAX_PATH ? std::string(folder, length) : std::string();
}

bool StartsWithFolder(const std::string& path, const std::string& folder)
{
    return !folder.empty() && path.size() > folder.size() && path[folder.size()] == '\\' &&
           _strnicmp(path.c_str(), folder.c_str(), folder.size()) == 0;
}

// Variable names are matched as the system matches them, without regard to letter case.
std::string ReplaceVariable(std::string text, const char* variable, const char* replacement)
{
    const size_t length = std::strlen(variable);
    for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1)) {
        if (_strnicmp(text.c_str() + at, variable, length) == 0) {
            text.replace(at, length, replacement);
            at += std::strlen(replacement) - 1;
        }
    }
    return text;
}

bool StartsWithAnyOf(const std::string& path, const std::string& folder, const char* const (&names)[6])
{
    for (const char* name : names)
        if (StartsWithFolder(path, folder + "\\" + name))
            return true;
    return false;
}

bool ReadAt(HANDLE file, LONG offset, void* buffer, DWORD size)
{
    DWORD read = 0;
    return SetFilePointer(file, offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

// The image's file header as the loader reads it: the DOS header points at the PE signature and the file header.
bool ReadFileHeader(HANDLE file, IMAGE_FILE_HEADER& header)
{
    IMAGE_DOS_HEADER dos = {};
    if (!ReadAt(file, 0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0)
        return false;
    struct {
        DWORD signature;
        IMAGE_FILE_HEADER fileHeader;
    } nt = {};
    if (!ReadAt(file, dos.e_lfanew, &nt, sizeof nt) || nt.signature != IMAGE_NT_SIGNATURE)
        return false;
    header = nt.fileHeader;
    return true;
}

}  // namespace

ServerFiles::ServerFiles(const RegistryView& view)
    : wow64_(view.wow64),
      machine_(view.bits == 64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386),
      systemFolder_(view.wow64 ? SystemWow64Directory() : SystemDirectory()),
      system32_(SystemDirectory()),
      redirectedHere_(RedirectedHere()),
      windows_(WindowsDirectory())
{
}

std::string ServerFiles::Expand(const std::string& registered) const
{
    std::string text = registered;
    if (wow64_)
        for (const auto& variable : kWow64Variables)
            text = ReplaceVariable(text, variable[0], variable[1]);
    const DWORD size = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (size == 0)
        return text;
    std::string expanded(size, '\0');
    const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), &expanded[0], size);
    if (needed == 0 || needed > size)
        return text;
    // The A form may count more than it writes, so the length is taken from the text.
    expanded.resize(std::strlen(expanded.c_str()));
    return expanded;
}

std::string ServerFiles::Redirected(const std::string& path) const
{
    if (!wow64_)
        return path;
    const std::string sysnative = windows_ + "\\Sysnative";
    if (StartsWithFolder(path, sysnative))
        return system32_ + path.substr(sysnative.size());
    if (!StartsWithFolder(path, system32_) || StartsWithAnyOf(path, system32_, kExemptFolders))
        return path;
    return systemFolder_ + path.substr(system32_.size());
}

std::string ServerFiles::Openable(const std::string& path) const
{
    if (redirectedHere_ && StartsWithFolder(path, system32_))
        return windows_ + "\\Sysnative" + path.substr(system32_.size());
    return path;
}

std::string ServerFiles::Search(const std::string& relative) const
{
    std::vector<std::string> folders = {systemFolder_, windows_};
    for (const std::string& folder : PathFolders())
        folders.push_back(folder);
    for (const std::string& folder : folders) {
        const std::string candidate = Redirected(folder + "\\" + relative);
        const DWORD attributes = GetFileAttributesA(Openable(candidate).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return candidate;
    }
    return systemFolder_ + "\\" + relative;
}

std::string ServerFiles::Resolve(const std::string& registered, bool expandable) const
{
    const std::string path = Unquoted(expandable ? Expand(registered) : registered);
    if (IsRelative(path))
        return Search(path);
    return Redirected(path);
}

ServerFile ServerFiles::Check(const std::string& path) const
{
    KernelHandle file(CreateFileA(Openable(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return ServerFile::Missing;
    IMAGE_FILE_HEADER header = {};
    if (!ReadFileHeader(file.Get(), header) || header.Machine != machine_ || !(header.Characteristics & IMAGE_FILE_DLL))
        return ServerFile::WrongArchitecture;
    return ServerFile::Loadable;
}
