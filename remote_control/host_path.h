// Paths the build hands to tests: on the build host they may be Unix paths, which a program under Wine must convert.
#pragma once

#include <string>

// The Windows form of a path the build named; a path that is not a Unix path is returned unchanged.
std::string WindowsPathOf(const std::string& hostPath);

// The Wine prefix this process runs in, as the build host names it; empty outside Wine.
std::string CurrentWinePrefix();
