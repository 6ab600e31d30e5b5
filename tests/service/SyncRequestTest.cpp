#include <gtest/gtest.h>

#include "pipe/SyncMessages.h"
#include "service/SyncRequest.h"

namespace {

const SyncRequest kNtp{"time.example", "2001:db8::1", true, true, -30, true};

TEST(SyncRequest, OnlyWhatIsWrittenReadsBack) {
    for (const SyncRequest& r : {kNtp, SyncRequest{"", "127.0.0.2", false, false, 60}})
        EXPECT_EQ(ParseRequest(FormatRequest(r)), r);
    EXPECT_EQ(FormatRequest(kNtp), "veltrano-sync 1\nserver time.example|2001:db8::1\noptions 1 ntp -30 auto\nend\n");
    const std::string good = FormatRequest(kNtp);
    const std::string malformed[] = {
        "", good.substr(0, good.size() - 1), good + "x", good + "end\n", "veltrano-sync 2" + good.substr(15),
        "veltrano-sync 1\r\nserver a|b\r\noptions 0 time 0\r\nend\r\n",
        "veltrano-sync 1\nserver a b\noptions 0 time 0 user\nend\n",     // no bar
        "veltrano-sync 1\nserver |\noptions 0 time 0 user\nend\n",       // no server at all
        "veltrano-sync 1\nserver a|b|c\noptions 0 time 0 user\nend\n",   // a bar inside the address
        "veltrano-sync 1\nserver a;rm|b\noptions 0 time 0 user\nend\n",
        "veltrano-sync 1\nserver " + std::string(256, 'a') + "|\noptions 0 time 0 user\nend\n",
        "veltrano-sync 1\nserver a|\noptions 2 time 0 user\nend\n",      // the flag is 0 or 1
        "veltrano-sync 1\nserver a|\noptions 0 udp 0 user\nend\n",
        "veltrano-sync 1\nserver a|\noptions 0 time +30 user\nend\n",
        "veltrano-sync 1\nserver a|\noptions 0 time 030 user\nend\n",
        "veltrano-sync 1\nserver a|\noptions 0 time -0 user\nend\n",
        "veltrano-sync 1\nserver a|\noptions 0 time 12345 user\nend\n",
        "veltrano-sync 1\nserver a|\noptions 0 time 0  user\nend\n",
        "veltrano-sync 1\nserver a|\noptions 0 time 0 root\nend\n",
        "veltrano-sync 1\nserver " + std::string(250, 'a') + "|" + std::string(250, 'b') + "\noptions 0 time 0 user\nend\n"
            + std::string(100, '\n'),  // longer than any request may be
    };
    for (const std::string& m : malformed) EXPECT_EQ(ParseRequest(m), std::nullopt) << m;
    EXPECT_TRUE(RequestEnded(good) && RequestEnded(std::end(malformed)[-1]) && !RequestEnded(good.substr(0, 60)));

    const SyncReply failed{SyncReply::Result::Failed, " Timeout awaiting for a response."};
    EXPECT_EQ(ParseReply(FormatReply(failed)), failed);
    const std::string longest(kMaxReplyBytes, 'a');
    EXPECT_TRUE(ReplyEnded(FormatReply(failed)) && !ReplyEnded(longest) && ReplyEnded(longest + 'a'));
    EXPECT_EQ(ParseReply(FormatReply({SyncReply::Result::Set, "two\nlines"})),
              (SyncReply{SyncReply::Result::Set, "two lines"}));
    for (const std::string& m : {std::string("veltrano-sync 1\nresult done\ntext a\nend\n"),
                                "veltrano-sync 1\nresult set\ntext " + std::string(1024, 'a') + "\nend\n"})
        EXPECT_EQ(ParseReply(m), std::nullopt);
}

TEST(SyncRequest, OnlyListedServersWithOffsetsOfTheChooserAreRun) {
    const ServerTable list{{"time.example", "2001:db8::1", "listed", ServerProtocol::Ntp},
                           {"", "127.0.0.2", "address only"}};
    EXPECT_EQ(RefusalOf(kNtp, list), std::nullopt);
    EXPECT_EQ(RefusalOf({"", "127.0.0.2", true, false, 60}, list), std::nullopt);
    for (const SyncRequest& r : {SyncRequest{"time.example", "", false, true, 0}, {"other.example", "2001:db8::1"},
                                 {"time.example", "2001:db8::1", false, false, 0},  // listed for NTP only
                                 {"time.example", "2001:db8::1", false, true, 45}})
        EXPECT_NE(RefusalOf(r, list), std::nullopt) << r.host << " " << r.address << " " << r.offsetMinutes;
}

}  // namespace
