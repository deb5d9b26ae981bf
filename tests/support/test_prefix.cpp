// Telling Wine from Windows, and the build's own Wine prefix from any other by the prefix Wine was started with.
#include "test_prefix.h"

#include "host_path.h"

#include <windows.h>

bool RunningOnWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

::testing::AssertionResult InTestPrefix(const char* expectedPrefix)
{
    const std::string prefix = CurrentWinePrefix();
    if (prefix == expectedPrefix)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "refusing to seed HKEY_LOCAL_MACHINE of the prefix \"" << prefix
                                         << "\": only " << expectedPrefix << " is the tests' own";
}
