#pragma once
#include <cstdint>
#include <string>

#include "clock/NtsRecords.h"
#include "clock/RunValues.h"
#include "platform/SystemClock.h"

// The status line's text for how a run ended; clock gives the local time and
// its format for a success. Abandoned has none: the line keeps what it shows.
std::string StatusText(const RunOutcome& outcome, const SystemClock& clock);
std::string ProgressText(const RunProgress& progress);
// What was wrong with an NTS key exchange's answer, in plain words.
std::string NtsKeyExchangeFault(const NtsKeResponse& response);

// The question put to the user before a large correction, in plain words:
// the server's time, and the difference in days, hours and whole minutes.
std::string CorrectionQuestion(const SystemTime& serverTime, int64_t seconds);
