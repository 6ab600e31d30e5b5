// Runs against the NTS servers and fixtures that scripts/services.sh starts
// (see LoopbackPlan.h), through real Winsock, Mbed TLS and Windows' own
// certificate checks with the tests' root in the prefix's Root store.
#include <winsock2.h>
#include <windows.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "LoopbackPlan.h"
#include "fakes/SyncRig.h"
#include "platform/EventPump_win.h"
#include "platform/Socket_win.h"
#include "platform/SystemClock_win.h"
#include "platform/TlsClient_win.h"

namespace {

using K = RunOutcome::Kind;

// Unpaced, so that the runs of a test follow each other at once.
struct NtsRig : SyncRig<Win32Socket, Win32EventPump, Win32SystemClock> {
    NtsRig() : SyncRig({}, nullptr, nullptr, {0, 0}, &tls) {}
    RunOutcome Query(const char* host, bool checkOnly = kCheckOnly) {
        return Run(Ask(host, "", ServerProtocol::Nts, checkOnly));
    }
    Win32TlsClient tls;
};

// chronyd -Q, as an NTS client of the same server, measured the reference.
TEST(NtsRun, CheckAndSynchronizeAgreeWithTheReferenceClient) {
    const char* reference = std::getenv("VELTRANO_REFERENCE_NTS_OFFSET_MS");
    ASSERT_TRUE(reference && *reference);
    NtsRig r;
    for (bool checkOnly : {kCheckOnly, kSetClock}) {
        const RunOutcome o = r.Query(loopback::kNts, checkOnly);
        EXPECT_EQ(o.kind, checkOnly ? K::LocalTimeOk : K::Set) << r.Last();
        ASSERT_TRUE(o.ntp);
        EXPECT_NEAR(o.ntp->offsetUs / 1000.0, std::atof(reference), 5.0);
    }
}

TEST(NtsRun, EveryHostileServerEndsWithItsOwnTextAndNoTime) {
    const std::tuple<const char*, K, std::string> cases[] = {
        {loopback::kNtsOtherName, K::NtsOtherName, ""},
        {loopback::kNtsUntrusted, K::NtsUntrusted, ""},
        {loopback::kNtsExpired, K::NtsDates, ""},
        {loopback::kNtsNoAlpn, K::NtsNoKeyExchange, ""},
        {loopback::kNtsError, K::NtsKeyRefused, "it reported error 2"},
        {loopback::kNtsBadMac, K::NtsUnauthenticated, ""},
        {loopback::kNtsNoUid, K::NtsUnauthenticated, ""},
        {loopback::kNtsElsewhere, K::Timeout, ""},
        {loopback::kNtsNakOnce, K::NtsNak, ""},
    };
    for (const auto& [host, kind, text] : cases) {
        NtsRig r;
        const RunOutcome o = r.Query(host, kSetClock);
        EXPECT_EQ(o.kind, kind) << host << ": " << r.Last();
        EXPECT_EQ(o.text.find(text), 0u) << o.text;
        EXPECT_FALSE(o.clockSet) << host;
        // After a NAK, a new key exchange and the server's own reply.
        if (kind == K::NtsNak) {
            EXPECT_EQ(r.Query(host).kind, K::LocalTimeOk) << r.Last();
        }
    }
}

}  // namespace
