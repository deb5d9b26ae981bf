// The end-to-end tests rewrite HKEY_LOCAL_MACHINE itself, so they run only in the build tree's throwaway prefix.
#pragma once

#include <gtest/gtest.h>

// Succeeds when this process runs in the given Wine prefix.
::testing::AssertionResult InTestPrefix(const char* expectedPrefix);
