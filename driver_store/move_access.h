// Finding out, before anything moves, whether the process may move an entry: every key of its tree opened with the
// access the move needs.
#pragma once

#include "registry_key.h"

#include <string>

// Opens location\name and every key below it with the access the move needs (reading values, subkeys and security,
// and deleting; setting values on the entry itself, which loses its "CLSID" first), in the location's view. Returns
// the first failing open's code, with the key's path below the location in `failedAt`.
[[nodiscard]] LONG CheckMoveAccess(const RegistryKey& location, const std::string& name, std::string& failedAt);
