#pragma once
#include <windows.h>

#include "platform/FileAccess.h"

// The rule of WritableOnlyByAdministrators applied to a security descriptor
// that holds at least its object's owner and access list.
bool OnlyAdministratorsMayChange(PSECURITY_DESCRIPTOR sd);
