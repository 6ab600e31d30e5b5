#include "clock/QueryPacer.h"

#include <algorithm>

std::optional<std::string> QueryPacer::Kissed(const std::string& host, const std::string& address) const {
    for (const std::string* key : {&host, &address})
        if (const auto kiss = kisses_.find(*key); !key->empty() && kiss != kisses_.end()) return kiss->second;
    return std::nullopt;
}

void QueryPacer::Kiss(const std::string& host, const std::string& address, const std::string& code) {
    for (const std::string* key : {&host, &address})
        if (!key->empty()) kisses_[*key] = code;
}

std::optional<double> QueryPacer::Turn(const std::string& host, const std::string& address, bool ntp,
                                       double now) const {
    const double spacing = ntp ? limits_.ntpSeconds : limits_.timeSeconds;
    double turn = now;
    const auto after = [&](const std::string& key) {
        if (const auto a = asked_.find(key); !key.empty() && a != asked_.end()) {
            turn = std::max(turn, a->second.at + spacing);
            return a->second.reached;
        }
        return std::string();
    };
    for (const std::string* key : {&host, &address}) after(after(*key));
    // The next query may go once the oldest that would make it one too many is a minute old.
    if (limits_.perMinute > 0 && lastMinute_.size() >= limits_.perMinute)
        turn = std::max(turn, lastMinute_[lastMinute_.size() - limits_.perMinute] + 60);
    if (turn - now > limits_.maxWaitSeconds) return std::nullopt;
    return turn;
}

void QueryPacer::Record(const std::string& host, const std::string& address, const std::string& reached,
                        double at) {
    std::erase_if(asked_, [at](const auto& a) { return a.second.at + kRememberSeconds < at; });
    while (!lastMinute_.empty() && lastMinute_.front() + 60 <= at) lastMinute_.pop_front();
    lastMinute_.push_back(at);
    for (const std::string* key : {&host, &address, &reached}) {
        if (key->empty()) continue;
        Asked& a = asked_[*key];
        a.at = at;
        // A query that reached nothing leaves what the line reached before.
        if (!reached.empty()) a.reached = reached;
    }
}
