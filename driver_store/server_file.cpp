// Resolving a registered server path for a registry view and reading the file's headers for its architecture.
#include "server_file.h"

#include "unique_handle.h"

#include <cstring>

namespace {

// The variables whose values differ for a 32-bit process of 64-bit Windows, and what it reads in their place.
constexpr const char* kWow64Variables[][2] = {
    {"%ProgramFiles%", "%ProgramFiles(x86)%"},
    {"%CommonProgramFiles%", "%CommonProgramFiles(x86)%"},
};

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
      system32_(SystemDirectory())
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

std::string ServerFiles::Resolve(const std::string& registered, bool expandable) const
{
    const std::string path = expandable ? Expand(registered) : registered;
    if (path.find_first_of("\\/:") == std::string::npos)
        return systemFolder_ + "\\" + path;
    if (wow64_ && StartsWithFolder(path, system32_))
        return systemFolder_ + path.substr(system32_.size());
    return path;
}

ServerFile ServerFiles::Check(const std::string& path) const
{
    KernelHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return ServerFile::Missing;
    IMAGE_FILE_HEADER header = {};
    if (!ReadFileHeader(file.Get(), header) || header.Machine != machine_ || !(header.Characteristics & IMAGE_FILE_DLL))
        return ServerFile::WrongArchitecture;
    return ServerFile::Loadable;
}
