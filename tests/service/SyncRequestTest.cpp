#include <gtest/gtest.h>

#include "service/SyncRequest.h"

namespace {

const SyncRequest kNtp{"time.example", "2001:db8::1", true, true, -30};

TEST(SyncRequest, WhatIsWrittenReadsBackAndNothingElseDoes) {
    for (const SyncRequest& r : {kNtp, SyncRequest{"", "127.0.0.2", false, false, 60}})
        EXPECT_EQ(ParseRequest(FormatRequest(r)), r);
    EXPECT_EQ(FormatRequest(kNtp), "veltrano-sync 1\nserver time.example|2001:db8::1\noptions 1 ntp -30\nend\n");
    const std::string good = FormatRequest(kNtp);
    const std::string malformed[] = {
        "", good.substr(0, good.size() - 1), good + "x", good + "end\n", "veltrano-sync 2" + good.substr(15),
        "veltrano-sync 1\r\nserver a|b\r\noptions 0 time 0\r\nend\r\n",
        "veltrano-sync 1\nserver a b\noptions 0 time 0\nend\n",     // no bar
        "veltrano-sync 1\nserver |\noptions 0 time 0\nend\n",       // no server at all
        "veltrano-sync 1\nserver a|b|c\noptions 0 time 0\nend\n",   // a bar inside the address
        "veltrano-sync 1\nserver a;rm|b\noptions 0 time 0\nend\n",
        "veltrano-sync 1\nserver " + std::string(256, 'a') + "|\noptions 0 time 0\nend\n",
        "veltrano-sync 1\nserver a|\noptions 2 time 0\nend\n",      // the flag is 0 or 1
        "veltrano-sync 1\nserver a|\noptions 0 udp 0\nend\n",
        "veltrano-sync 1\nserver a|\noptions 0 time +30\nend\n",
        "veltrano-sync 1\nserver a|\noptions 0 time 030\nend\n",
        "veltrano-sync 1\nserver a|\noptions 0 time -0\nend\n",
        "veltrano-sync 1\nserver a|\noptions 0 time 12345\nend\n",
        "veltrano-sync 1\nserver a|\noptions 0 time 0 \nend\n",
        "veltrano-sync 1\nserver " + std::string(250, 'a') + "|" + std::string(250, 'b') + "\noptions 0 time 0\nend\n"
            + std::string(100, '\n'),  // longer than any request may be
    };
    for (const std::string& m : malformed) EXPECT_EQ(ParseRequest(m), std::nullopt) << m;
}

TEST(SyncRequest, OnlyAListedServerAndAnOffsetOfTheChooserAreRun) {
    const ServerTable list{{"time.example", "2001:db8::1", "listed", ServerProtocol::Ntp},
                           {"", "127.0.0.2", "address only"}};
    EXPECT_EQ(RefusalOf(kNtp, list), std::nullopt);
    EXPECT_EQ(RefusalOf({"", "127.0.0.2", true, false, 60}, list), std::nullopt);
    for (const SyncRequest& r : {SyncRequest{"time.example", "", false, true, 0}, {"other.example", "2001:db8::1"},
                                 {"time.example", "2001:db8::1", false, false, 0},  // listed for NTP only
                                 {"time.example", "2001:db8::1", false, true, 45}})
        EXPECT_NE(RefusalOf(r, list), std::nullopt) << r.host << " " << r.address << " " << r.offsetMinutes;
}

TEST(QueryPacer, OneQueryToAServerEveryFourSecondsWhateverIsAsked) {
    QueryPacer pacer;
    EXPECT_TRUE(pacer.MayQuery("a", 100.0));
    EXPECT_FALSE(pacer.MayQuery("a", 103.9));
    EXPECT_TRUE(pacer.MayQuery("b", 103.9));
    EXPECT_TRUE(pacer.MayQuery("a", 104.0));
    EXPECT_FALSE(pacer.MayQuery("a", 107.0)) << "a refused ask does not restart the count";
    EXPECT_TRUE(pacer.MayQuery("a", 108.0));
}

}  // namespace
