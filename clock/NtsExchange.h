#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "clock/AesSiv.h"
#include "clock/Exchange.h"
#include "clock/NtsPacket.h"

// What one NTS key exchange gave: the two keys, the cookies not yet used, and
// where the server's NTP is. Kept in memory for the life of the process, never
// on disk: a key on disk would let anyone who reads it forge this server.
struct NtsAssociation {
    AesSivKey c2s{}, s2c{};
    CookieJar cookies;
    std::string server;  // empty: the name or address asked
    uint16_t port = kNtpPort;
};

// SNTP with one cookie of the association: a reply counts only when NTS
// authenticates it as the server's, and refills the jar.
std::unique_ptr<Exchange> MakeNtsExchange(NtsAssociation& association);
