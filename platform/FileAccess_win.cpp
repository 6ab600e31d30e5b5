#include "platform/FileAccess_win.h"

#include <aclapi.h>
#include <sddl.h>

#include <memory>

#include "platform/WideText_win.h"

namespace {

// What lets its holder change a file: write or append to it, delete it, or
// rewrite its owner or access list. On a folder the first two are adding a
// file or a subfolder, and deleting a child lets one swap any file inside.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                      WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// NT SERVICE\TrustedInstaller, which owns Windows' own files: a service SID,
// the same on every machine, for which no well-known-SID constant exists.
constexpr const wchar_t* kTrustedInstallerSid =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

bool IsTrusted(PSID sid) {
    if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid)) return true;
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return false;
    const bool trusted = wcscmp(text, kTrustedInstallerSid) == 0;
    LocalFree(text);
    return trusted;
}

// Whether the entry lets someone untrusted change the object. Denials and
// audit entries grant nothing; an inherit-only entry applies only to what
// is created inside later, which takes a right to create in the first place.
bool GrantsChangeToOthers(void* entry) {
    // Every kind of entry has its mask right after the header; the allowing
    // kinds that files use have the trustee right after the mask.
    auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if (ace->Header.AceFlags & INHERIT_ONLY_ACE) return false;
    const ACCESS_MASK mask = ace->Mask;
    switch (ace->Header.AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
        return (mask & kChangeRights) && !IsTrusted(&ace->SidStart);
    // Kinds that files do not use, whose trustee sits elsewhere: any change
    // right they grant counts as granted to anyone.
    case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
        return (mask & kChangeRights) != 0;
    default:
        return false;
    }
}

}  // namespace

bool OnlyAdministratorsMayChange(PSECURITY_DESCRIPTOR sd) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    // Whoever owns an object may always rewrite its access list.
    if (!GetSecurityDescriptorOwner(sd, &owner, &defaulted) || !owner || !IsTrusted(owner)) return false;
    PACL dacl = nullptr;
    // No access list at all lets everyone do everything.
    if (!GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) || !present || !dacl) return false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace) || GrantsChangeToOthers(ace)) return false;
    }
    return true;
}

bool WritableOnlyByAdministrators(const std::string& path) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    // Needs READ_CONTROL only, which reading the file includes.
    if (GetNamedSecurityInfoW(WideFromUtf8(path).c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &raw) != ERROR_SUCCESS)
        return false;
    const std::unique_ptr<void, decltype(&LocalFree)> sd(raw, &LocalFree);
    return OnlyAdministratorsMayChange(sd.get());
}

// Only Wine's ntdll has this export; nothing a user can do makes Windows' own
// ntdll.dll, loaded long before any code of ours, have it.
bool FileAccessListsKept() {
    return !GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
}
