#pragma once
#include <cstddef>
#include <deque>
#include <limits>
#include <map>
#include <optional>
#include <string>

// Every query of a server, the program's and the time service's, asks here
// first: when it may go, and whether the server has asked never to be asked
// again. A server is known by each of its line's name and address and by the
// address a query reached, so that asking by name and by address in turn,
// or by two lines of one server, gains nothing.
class QueryPacer {
public:
    struct Limits {
        // Public time services refuse a client that asks more often than this.
        double timeSeconds = 4.0;
        // The least that SNTP lets a client leave between two queries of one server.
        double ntpSeconds = 15.0;
        // Over all servers; 0 for none.
        size_t perMinute = 0;
        // A turn further away than this is not waited for.
        double maxWaitSeconds = std::numeric_limits<double>::infinity();
    };
    // What a name or address is remembered for: long past any spacing, short
    // enough to keep the memory small under a flood of names.
    static constexpr double kRememberSeconds = 3600.0;

    explicit QueryPacer(Limits limits) : limits_(limits) {}

    // The code of the kiss-o'-death that host or address sent, if either did.
    std::optional<std::string> Kissed(const std::string& host, const std::string& address) const;
    // For the rest of this process's life.
    void Kiss(const std::string& host, const std::string& address, const std::string& code);
    // When a query of the line asked for at now (monotonic seconds) may go:
    // now, or later when the line, the address it last reached or all
    // queries together asked too recently. Empty when that is further away
    // than the limits allow.
    std::optional<double> Turn(const std::string& host, const std::string& address, bool ntp, double now) const;
    // A query of the line that started at `at`; reached is the address the
    // socket reached, empty when it reached none.
    void Record(const std::string& host, const std::string& address, const std::string& reached, double at);

private:
    struct Asked {
        double at = 0;
        std::string reached;
    };
    Limits limits_;
    std::map<std::string, Asked> asked_;   // by name and by address
    std::deque<double> lastMinute_;        // every query of the last minute, oldest first
    std::map<std::string, std::string> kisses_;
};
