// Who gives way when a control door's connections are bounded: two per user, four in all.
#include "host/server/fair_share.h"

#include <gtest/gtest.h>

#include <vector>

namespace qorval::host {
namespace {

struct Case {
    const char* what;
    uid_t newcomer;
    std::vector<uid_t> held;  // oldest first
    bool admit;
    std::optional<size_t> evict;
};

TEST(FairShare, ANewConnectionTakesTheGreediestUsersOldestPlace) {
    const FairShare share(2, 4);
    const Case cases[] = {
        {"room", 7, {}, true, std::nullopt},
        {"room left", 7, {1, 7, 2}, true, std::nullopt},
        {"own bound: own oldest goes", 7, {1, 7, 2, 7}, true, 1},
        {"full: the one with most yields", 3, {1, 2, 1, 2}, true, 0},
        {"full: the greediest, not the oldest", 3, {4, 2, 1, 1}, true, 2},
        {"full and newcomer has as many", 1, {1, 2, 3, 4}, false, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto decision = share.Admit(c.newcomer, c.held);
        EXPECT_EQ(decision.admit, c.admit) << c.what;
        EXPECT_EQ(decision.evict, c.evict) << c.what;
    }
}

}  // namespace
}  // namespace qorval::host
