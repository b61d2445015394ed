#pragma once

#include <windows.h>

#include <filesystem>
#include <vector>

namespace reradav {

// Who an owner or an access entry names, as far as trusting a folder goes.
enum class Principal { User, Administrators, System, CreatorOwner, TrustedInstaller, Other };

// An allowing entry of an access list: whom it names and the rights it grants.
struct AccessEntry {
    Principal who = Principal::Other;
    ACCESS_MASK rights = 0;
};

// The owner and the allowing entries of a file or folder. Entries that only apply to what will
// be made inside count too: a file saved there gets them. A missing access list (everyone may
// do everything) reads as one entry granting Other every right.
struct AccessRules {
    Principal owner = Principal::Other;
    std::vector<AccessEntry> entries;
};

// True when no one but this user, the administrators, the system and the installer service
// (TrustedInstaller; CREATOR OWNER, the maker of what is made inside) could change what is
// there: the owner is one of them (an owner may always rewrite the rules) and no entry lets
// anyone else write, append, delete, or change the rules or the owner.
bool OnlyTrustedCanWrite(const AccessRules& rules);

// The real rules of `path` (a file or a folder). False for a missing path, which is no one's;
// true when its rules cannot be read, since then nothing vouches for it.
bool OthersCanWrite(const std::filesystem::path& path);

}  // namespace reradav
