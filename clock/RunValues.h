#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "clock/Sntp.h"
#include "platform/Socket.h"
#include "platform/SystemClock.h"
#include "serverlist/ServerEntry.h"

// Who asked for a run: a run nobody watches must not make large corrections,
// and only a person's setting is trusted to say what time it is.
enum class RunBy { User, Automatic };

// SyncTime's flag by name, so that a call says what it asks for.
inline constexpr bool kCheckOnly = true;  // compare with the system clock, change nothing
inline constexpr bool kSetClock = false;

// One run asked of the run: which server, how, and what to do with its time.
struct RunRequest {
    std::string host, address;  // the list's line
    ServerProtocol protocol = ServerProtocol::Time;
    bool useAddress = false;
    // Added to the server's time, as the offset chooser gives it.
    int32_t offsetMinutes = 0;
    bool checkOnly = true;  // compare with the system clock, change nothing
    RunBy by = RunBy::User;
    // Held to an automatic run's limits, but a person asked: time that NTS
    // authenticated may move the clock further (the time service's rule).
    bool authenticatedMayGoFar = false;

    // The name or address asked. A line without a host name is reached at its
    // address: an empty name would mean this computer.
    bool AsksAddress() const { return !address.empty() && (useAddress || host.empty()); }
    const std::string& Server() const { return AsksAddress() ? address : host; }
};

// What a run that set the clock changed, both UTC.
struct ClockChange {
    SystemTime from, to;
};

// How a run ended. Every kind has one text on the status line (StatusText.h).
struct RunOutcome {
    enum class Kind {
        NoServer,          // nothing chosen
        NoData,            // a line with neither name nor address
        LocalTimeOk,       // within a second
        Difference,        // seconds off
        Set,               // changed
        SetByService,      // the time service changed it, its own way
        OlderThanProgram,  // the server's time cannot be true
        TooFarAutomatic,   // seconds beyond what a run nobody watches may correct
        NotConfirmed,      // the person asked said no to seconds
        ThisMachine,       // the socket reached this computer
        Kiss,              // the server asked not to be queried any more
        Busy,              // its turn is further away than the run may wait
        CannotGetTime,     // error: no query, or a count out of range
        Timeout,
        NoResponse,
        ErrorInData,
        CannotSet,         // error: Windows would not set the clock
        ServiceSilent,
        ServiceSaid,       // text: the time service's own words
        Abandoned,         // Windows is closing: nothing more to say
        // Network Time Security: the key exchange, then the reply.
        NtsUntrusted,       // the certificate chains to no root this computer trusts
        NtsOtherName,       // it names another server
        NtsDates,           // it is not valid at this computer's date, text
        NtsNoKeyExchange,   // the server speaks no NTS key exchange
        NtsSecureFailed,    // error: the secure connection failed
        NtsKeyRefused,      // text: what was wrong with the key exchange's answer
        NtsNak,             // the server takes our cookies no more
        NtsUnauthenticated, // replies came, none that NTS authenticated
    };
    Kind kind = Kind::NoServer;
    std::string server{};     // as asked
    int64_t seconds = 0;      // Difference, TooFarAutomatic, NotConfirmed
    SocketError error{};      // CannotGetTime, CannotSet
    std::string text{};       // ServiceSaid; Kiss: its code; ThisMachine: the address reached
    bool offsetLeftOut = false;  // SetByService: the user's offset was not 0
    // The server's time, offset applied, when a reply decoded; for NTP what
    // the reply measured; what this process changed.
    std::optional<SystemTime> serverTime{};
    std::optional<ClockOffset> ntp{};
    std::optional<ClockChange> clockSet{};

    // The run had the server's time and would not set the clock to it.
    bool RefusedCorrection() const {
        return kind == Kind::OlderThanProgram || kind == Kind::TooFarAutomatic || kind == Kind::NotConfirmed;
    }
};

// What a run shows while it goes on.
struct RunProgress {
    enum class Kind { Asking, Waiting, SocketError };
    Kind kind = Kind::Asking;
    std::string server{};
    int64_t seconds = 0;  // Waiting: left
    SocketError error{};  // SocketError
};
