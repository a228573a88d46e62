#include "host/server/fair_share.h"

#include <algorithm>
#include <map>

namespace qorval::host {
namespace {

std::optional<size_t> OldestOf(uid_t user, std::span<const uid_t> held) {
    const auto it = std::find(held.begin(), held.end(), user);
    if (it == held.end()) {
        return std::nullopt;
    }
    return static_cast<size_t>(it - held.begin());
}

}  // namespace

FairShare::Decision FairShare::Admit(uid_t newcomer, std::span<const uid_t> held) const {
    std::map<uid_t, size_t> counts;
    for (const uid_t user : held) {
        ++counts[user];
    }
    const size_t own = counts[newcomer];
    if (own >= per_user_) {
        return {own > 0, OldestOf(newcomer, held)};
    }
    if (held.size() < in_all_) {
        return {true, std::nullopt};
    }
    // Full: the greediest user (the one whose oldest connection is oldest among equals) yields.
    uid_t greediest = newcomer;
    size_t most = own;
    for (const uid_t user : held) {
        if (counts[user] > most) {
            most = counts[user];
            greediest = user;
        }
    }
    if (greediest == newcomer) {
        return {false, std::nullopt};
    }
    return {true, OldestOf(greediest, held)};
}

}  // namespace qorval::host
