#pragma once

#include <cstdint>
#include <vector>

namespace reradav {

// Spare keys lent to keysyms the layout lacks, kept while they are used and reused least
// recently used first: the bookkeeping of the XTest and Wayland keyboards, which map the keys.
class KeyLoans {
  public:
    struct Loan {
        std::uint32_t code;
        std::uint32_t keysym;
        bool down;
    };
    struct Lent {
        std::uint32_t code;  // 0 when every spare key is lent and down
        bool fresh;          // a new loan: the key must be given the keysym first
    };

    // The keys that may be lent; loans on keys no longer among them end.
    void SetSpares(std::vector<std::uint32_t> spares);
    const std::vector<std::uint32_t>& Spares() const { return spares_; }

    // The key lent to the keysym, now the most recently used; a fresh loan of a free spare, or
    // of the least recently used key that is up, when there is none.
    Lent Lend(std::uint32_t keysym);
    // Whether the key is lent (then its state is kept).
    bool SetDown(std::uint32_t code, bool down);
    // Ends the loans whose keys are up and returns them, to be cleared.
    std::vector<Loan> EndIdle();
    const std::vector<Loan>& Loans() const { return loans_; }

  private:
    std::vector<std::uint32_t> spares_;
    std::vector<Loan> loans_;  // least recently used first
};

}  // namespace reradav
