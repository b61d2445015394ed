#pragma once

#include <cstdint>
#include <vector>

namespace reradav {

// Spare keys lent to keysyms the layout lacks: the bookkeeping of the XTest and Wayland
// keyboards, which map the keys. A key holds one lent keysym on each of its `levels` (the second
// level is reached with Shift); loans are reused least recently used first.
class KeyLoans {
  public:
    struct Loan {
        std::uint32_t code;
        std::uint32_t level;
        std::uint32_t keysym;
        std::uint32_t used;  // when the loan was made or its key last pressed or released, in ms
    };
    struct Lent {
        std::uint32_t code = 0;  // 0: no key can be lent now
        std::uint32_t level = 0;
        bool fresh = false;        // a new loan: the key must be given the keysym first
        std::uint32_t waitMs = 0;  // with code 0: when a loan may be taken over; 0 never (all down)
    };

    // A loan is taken over for another keysym only `keepMs` after its key was last used.
    explicit KeyLoans(std::uint32_t levels = 1, std::uint32_t keepMs = 0)
        : levels_(levels), keepMs_(keepMs) {}

    // The keys that may be lent; loans on keys no longer among them end.
    void SetSpares(std::vector<std::uint32_t> spares);
    const std::vector<std::uint32_t>& Spares() const { return spares_; }

    // The key and level lent to the keysym, now the most recently used: an existing loan, else
    // a free level of a spare key (first levels first), else the least recently used loan of a
    // key that is up, once it has been kept long enough.
    Lent Lend(std::uint32_t keysym, std::uint32_t now);
    // Whether the key is lent (then its state is kept, and it counts as used).
    bool SetDown(std::uint32_t code, bool down, std::uint32_t now);
    // The keys lent, each once.
    std::vector<std::uint32_t> Keys() const;
    std::uint32_t KeepMs() const { return keepMs_; }
    // The keysyms the key holds, one per level, 0 where a level is not lent.
    std::vector<std::uint32_t> Keysyms(std::uint32_t code) const;
    // Lent keys that are up and none of whose loans was used for `idleMs`.
    std::vector<std::uint32_t> IdleKeys(std::uint32_t now, std::uint32_t idleMs) const;
    // Ends every loan of the key.
    void End(std::uint32_t code);
    const std::vector<Loan>& Loans() const { return loans_; }

  private:
    bool IsDown(std::uint32_t code) const;

    std::uint32_t levels_;
    std::uint32_t keepMs_;
    std::vector<std::uint32_t> spares_;
    std::vector<std::uint32_t> down_;
    std::vector<Loan> loans_;  // least recently used first
};

}  // namespace reradav
