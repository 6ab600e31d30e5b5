#pragma once
#include <string>

// True when nobody but administrators, SYSTEM and TrustedInstaller may change
// the file or folder at path (UTF-8): write it, append to it, delete it, or
// change its owner or access list. False when anyone else may, and when the
// access list cannot be read.
bool WritableOnlyByAdministrators(const std::string& path);

// False where files keep no access list of their own: Wine makes one up from
// the Unix mode bits, with its one user as owner, so the check above can
// never pass there and says nothing about who may change a file.
bool FileAccessListsKept();
