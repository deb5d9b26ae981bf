// Giving a copied key the security of its original: what it allows and denies, whether it inherits, and its owner.
#pragma once

#include <windows.h>

#include <vector>

// Reads the owner and DACL of a key as a self-relative descriptor. Returns the registry's code.
LONG ReadKeySecurity(HKEY key, std::vector<BYTE>& descriptor);
// Gives the copy a DACL that allows and denies just what the original's did, for the same accounts. A protected
// DACL is taken whole. Otherwise the copy goes on inheriting where it has inherited the same entries as the original
// had (its own entries are the original's own), and where it has not, it holds all the original's entries as its own
// and is protected. Then the original's owner, where the process may set it. The SACL is left as created: reading it
// needs a privilege the program does not hold. Returns the first failing call's code; a refused owner is no failure.
LONG ApplyKeySecurity(const std::vector<BYTE>& original, HKEY copy);
