#pragma once
// Who gives way when a socket's connections are bounded, so that one user's many connections
// never keep another user out: a user at their own bound loses their oldest connection to the
// new one; when every place is taken, the user holding the most gives up their oldest, unless
// the newcomer's user already holds as many (then the newcomer is refused).

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <span>

namespace qorval::host {

class FairShare {
  public:
    FairShare(size_t per_user, size_t in_all) : per_user_(per_user), in_all_(in_all) {}

    struct Decision {
        bool admit = false;
        std::optional<size_t> evict;  // the held connection to close first (index into `held`)
    };
    // `held`: the user of every connection served now, oldest first.
    Decision Admit(uid_t newcomer, std::span<const uid_t> held) const;

  private:
    size_t per_user_;
    size_t in_all_;
};

}  // namespace qorval::host
