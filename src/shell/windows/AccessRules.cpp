#include "shell/windows/AccessRules.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cwchar>
#include <utility>

namespace reradav {
namespace {

constexpr ACCESS_MASK kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD |
                                     DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
// NT SERVICE\TrustedInstaller, which owns the system's own folders; no well-known SID type.
constexpr wchar_t kTrustedInstaller[] =
    L"S-1-5-80-956008885-3425358058-1013356669-1404085011-3047366632";

// The TOKEN_USER of this process; empty when it cannot be read.
std::vector<BYTE> CurrentUser() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !::GetTokenInformation(token, TokenUser, user.data(), size, &size)) {
        user.clear();
    }
    ::CloseHandle(token);
    return user;
}

Principal PrincipalOf(PSID sid, PSID user) {
    if (sid == nullptr || !::IsValidSid(sid)) {
        return Principal::Other;
    }
    if (user != nullptr && ::EqualSid(sid, user)) {
        return Principal::User;
    }
    static constexpr std::pair<WELL_KNOWN_SID_TYPE, Principal> kWellKnown[] = {
        {WinBuiltinAdministratorsSid, Principal::Administrators},
        {WinLocalSystemSid, Principal::System},
        {WinCreatorOwnerSid, Principal::CreatorOwner}};
    for (const auto& [type, who] : kWellKnown) {
        if (::IsWellKnownSid(sid, type)) {
            return who;
        }
    }
    LPWSTR text = nullptr;
    if (!::ConvertSidToStringSidW(sid, &text)) {
        return Principal::Other;
    }
    const bool trustedInstaller = std::wcscmp(text, kTrustedInstaller) == 0;
    ::LocalFree(text);
    return trustedInstaller ? Principal::TrustedInstaller : Principal::Other;
}

AccessRules Describe(PSID owner, const ACL* list) {
    const std::vector<BYTE> token = CurrentUser();
    const PSID user =
        token.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(token.data())->User.Sid;
    AccessRules rules{PrincipalOf(owner, user), {}};
    if (list == nullptr) {
        rules.entries.push_back({Principal::Other, GENERIC_ALL});
        return rules;
    }
    for (DWORD i = 0; i < list->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(const_cast<ACL*>(list), i, &ace)) {
            rules.entries.push_back({Principal::Other, GENERIC_ALL});
            continue;
        }
        // Denying entries only take rights away; the object kinds of entries belong to
        // directory objects, never to files.
        const BYTE type = static_cast<const ACE_HEADER*>(ace)->AceType;
        if (type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
            const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
            rules.entries.push_back(
                {PrincipalOf(const_cast<DWORD*>(&allowed->SidStart), user), allowed->Mask});
        }
    }
    return rules;
}

}  // namespace

bool OnlyTrustedCanWrite(const AccessRules& rules) {
    const auto trusted = [](Principal who) { return who != Principal::Other; };
    return trusted(rules.owner) &&
           std::none_of(rules.entries.begin(), rules.entries.end(), [&](const AccessEntry& e) {
               return !trusted(e.who) && (e.rights & kWriteRights) != 0;
           });
}

bool OthersCanWrite(const std::filesystem::path& path) {
    PSID owner = nullptr;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status = ::GetNamedSecurityInfoW(
        path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        &owner, nullptr, &list, nullptr, &descriptor);
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) {
        return false;
    }
    if (status != ERROR_SUCCESS) {
        return true;
    }
    const bool others = !OnlyTrustedCanWrite(Describe(owner, list));
    ::LocalFree(descriptor);
    return others;
}

}  // namespace reradav
