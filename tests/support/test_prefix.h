// The end-to-end tests rewrite HKEY_LOCAL_MACHINE itself, so they run only in the build tree's throwaway prefix; and
// the few tests that meet a difference between Wine and Windows ask which they run on.
#pragma once

#include <gtest/gtest.h>

bool RunningOnWine();

// Succeeds when this process runs in the given Wine prefix.
::testing::AssertionResult InTestPrefix(const char* expectedPrefix);
