// Whether two driver entries of one name are one driver registered twice, as when an update registers a hidden
// driver again.
#pragma once

#include <windows.h>

#include <string>

// True when both texts name one class: a GUID, with or without one pair of braces around it, in any letter case.
bool NameSameClass(const std::string& one, const std::string& other);
// Whether both entries hold a "CLSID" value (in any letter case, as hosts read it) that is a string naming the same
// class; the answer is in `same`. A value that is missing, no string or no GUID makes no same driver; any other
// failing read is returned, `same` false.
[[nodiscard]] LONG HoldSameDriver(HKEY one, HKEY other, bool& same);
