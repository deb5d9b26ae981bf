// Where a host of a registry view finds the in-process server a class registration names, and whether it could
// load that file.
#pragma once

#include "registry_views.h"

#include <string>

enum class ServerFile { Loadable, Missing, WrongArchitecture };

class ServerFiles {
public:
    explicit ServerFiles(const RegistryView& view);

    // The file a host of the view loads for a registered path: a REG_EXPAND_SZ path expanded as a process of the
    // view expands it, surrounding quotes taken off, a relative path or a bare name looked for as the loader's
    // standard search does (the view's system folder, the Windows folder, then the folders of PATH; the host's own
    // folder comes first there, and no one but the host knows it), and System32 read by the 32-bit view of 64-bit
    // Windows as the file system redirects it. Where no file is found, the first place looked.
    std::string Resolve(const std::string& registered, bool expandable) const;
    // Loadable when the file exists and its headers make it a DLL of the view's architecture.
    ServerFile Check(const std::string& path) const;

private:
    std::string Expand(const std::string& registered) const;
    // As a process of the view reaches the path: to SysWOW64 from System32 but for the folders the redirector
    // exempts, and to the 64-bit System32 from Sysnative.
    std::string Redirected(const std::string& path) const;
    std::string Search(const std::string& relative) const;
    // The path this process opens to reach the file a process of the view would: a 32-bit program of 64-bit
    // Windows reaches the true System32 through Sysnative.
    std::string Openable(const std::string& path) const;

    bool wow64_;
    WORD machine_;              // the architecture of the view's hosts, as an image's file header names it
    std::string systemFolder_;  // where the view's hosts find a bare file name, as it is on the disk
    std::string system32_;      // the system folder as programs name it, which the 32-bit view reads as SysWOW64
    bool redirectedHere_;       // this process is one the file system redirects
    std::string windows_;       // the Windows folder
};
