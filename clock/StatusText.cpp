#include "clock/StatusText.h"

#include <cstdio>
#include <cstdlib>

#include "clock/Calendar.h"

namespace {

std::string ErrorText(const char* prefix, const SocketError& error) {
    return prefix + std::to_string(error.number) + ":" + error.description;
}

std::string Count(int64_t n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
}

}  // namespace

std::string StatusText(const RunOutcome& o, const SystemClock& clock) {
    using K = RunOutcome::Kind;
    const std::string seconds = std::to_string(o.seconds);
    switch (o.kind) {
    case K::NoServer: return " No server selected";
    case K::NoData: return " No data for this server, please select server";
    case K::LocalTimeOk: return " Local time is OK";
    case K::Difference: return " Local time inaccurate - difference is " + seconds + " seconds!";
    case K::Set:
    case K::SetByService:
        // The service runs for every user, so it leaves one user's offset out.
        return " Time updated succesfully!  ( at " + FormatHourMinuteSecondAmPm(clock.LocalNow(), clock) + " )" +
               (o.offsetLeftOut ? " The time service set the true time, without the offset." : "");
    case K::OlderThanProgram:
        return " Server time " + (o.serverTime ? FormatDate(*o.serverTime) : std::string()) +
               " is older than this program - the clock was not changed!";
    case K::TooFarAutomatic: return " Clock not changed automatically - difference is " + seconds + " seconds!";
    case K::NotConfirmed: return " Clock not changed - the difference of " + seconds + " seconds was not confirmed.";
    case K::ThisMachine:
        return " " + (o.text.empty() ? "The server's address is unknown" : o.text + " is this computer") +
               ": the time service takes no time from it";
    case K::Kiss: return " " + o.server + " asked not to be queried any more (" + o.text + ")";
    case K::Busy: return " The time service is busy - try again later.";
    case K::CannotGetTime: return ErrorText(" Cannot get time from server! (An error occurred) ", o.error);
    case K::Timeout: return " Timeout awaiting for a response.";
    case K::NoResponse: return " No response received from NTP server.";
    case K::ErrorInData: return " Error in data received from NTP server, try again";
    case K::CannotSet: return ErrorText(" Cannot set the system clock! (An error occurred) ", o.error);
    case K::ServiceSilent: return " The time service did not answer.";
    case K::ServiceSaid: return o.text;
    case K::NtsUntrusted:
        return " The certificate of " + o.server + " is not from an authority this computer trusts - no time taken";
    case K::NtsOtherName: return " The certificate of " + o.server + " is for another server - no time taken";
    case K::NtsDates:
        return " The certificate of " + o.server + " is not valid at this PC's date " + o.text +
               " - set the clock from another server or by hand";
    case K::NtsNoKeyExchange: return " " + o.server + " does not offer an NTS key exchange";
    case K::NtsSecureFailed: return ErrorText(" The secure connection failed! (An error occurred) ", o.error);
    case K::NtsKeyRefused: return " The NTS key exchange with " + o.server + " failed: " + o.text;
    case K::NtsNak:
        return " " + o.server + " takes this computer's NTS cookies no more - the next try makes a new key exchange";
    case K::NtsUnauthenticated: return " Replies from " + o.server + " failed NTS authentication - no time taken";
    case K::Abandoned: break;
    }
    return {};
}

std::string NtsKeyExchangeFault(const NtsKeResponse& r) {
    using O = NtsKeResponse::Outcome;
    const std::string code = std::to_string(r.code);
    switch (r.outcome) {
    case O::Valid: return {};
    case O::Truncated: return "its answer ended too soon";
    case O::TooLong: return "its answer was too long";
    case O::AfterEnd: return "it went on after its answer";
    case O::ServerError: return "it reported error " + code;
    case O::ServerWarning: return "it sent warning " + code;
    case O::UnknownCritical: return "it required record type " + code + ", unknown here";
    case O::Malformed: return "a record was malformed";
    case O::NotNtpV4: return "it does not offer NTPv4";
    case O::NotAesSiv: return "it does not offer AES-SIV-CMAC-256";
    case O::NoCookies: return "it gave no cookies";
    case O::TooManyCookies: return "it gave too many cookies";
    case O::BadCookie: return "it gave a cookie of no usable size";
    case O::BadServer: return "it named an unusable NTP server or port";
    }
    return {};
}

std::string ProgressText(const RunProgress& p) {
    switch (p.kind) {
    case RunProgress::Kind::Asking: return " Getting Time from " + p.server + " ...";
    case RunProgress::Kind::Waiting:
        return " Waiting " + std::to_string(p.seconds) + " s before asking " + p.server + " again ...";
    case RunProgress::Kind::SocketError: return ErrorText("An error occurred: ", p.error);
    }
    return {};
}

std::string CorrectionQuestion(const SystemTime& serverTime, int64_t seconds) {
    const int64_t d = std::llabs(seconds);
    char clock[32];
    std::snprintf(clock, sizeof clock, " %02u:%02u:%02u", serverTime.wHour, serverTime.wMinute, serverTime.wSecond);
    return "The time server says it is " + FormatDate(serverTime) + clock + " UTC: " + Count(d / 86400, "day") +
           ", " + Count(d / 3600 % 24, "hour") + " and " + Count(d / 60 % 60, "minute") +
           (seconds > 0 ? " ahead of" : " behind") + " this computer's clock.\n\nSet the clock to the server's time?";
}
