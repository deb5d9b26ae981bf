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
    // view expands it, a bare file name taken from the view's system folder, and System32 read by the 32-bit view
    // of 64-bit Windows as the file system redirects it, to SysWOW64.
    std::string Resolve(const std::string& registered, bool expandable) const;
    // Loadable when the file exists and its headers make it a DLL of the view's architecture.
    ServerFile Check(const std::string& path) const;

private:
    std::string Expand(const std::string& registered) const;

    bool wow64_;
    WORD machine_;              // the architecture of the view's hosts, as an image's file header names it
    std::string systemFolder_;  // where the view's hosts find a bare file name, as it is on the disk
    std::string system32_;      // the system folder as programs name it, which the 32-bit view reads as SysWOW64
};
