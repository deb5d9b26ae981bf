// Giving a copied key the security of its original: what the key was given itself, not what it inherited.
#pragma once

#include <windows.h>

// Sets the copy's DACL to the original's own entries and inheritance protection, followed (unless protected) by the
// entries the copy inherits from its new parent, as the original's came from its old one; then the original's owner,
// where the process may set it. The SACL is left as created: reading it needs a privilege the program does not hold.
// Returns the first failing call's code; a refused owner is no failure.
LONG CopyKeySecurity(HKEY original, HKEY copy);
