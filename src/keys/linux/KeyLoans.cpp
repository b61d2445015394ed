#include "keys/linux/KeyLoans.h"

#include <algorithm>
#include <utility>

namespace reradav {

void KeyLoans::SetSpares(std::vector<std::uint32_t> spares) {
    spares_ = std::move(spares);
    std::erase_if(loans_, [this](const Loan& loan) {
        return std::find(spares_.begin(), spares_.end(), loan.code) == spares_.end();
    });
}

KeyLoans::Lent KeyLoans::Lend(std::uint32_t keysym) {
    auto lent = std::find_if(loans_.begin(), loans_.end(),
                             [keysym](const Loan& loan) { return loan.keysym == keysym; });
    if (lent != loans_.end()) {
        const Loan loan = *lent;
        loans_.erase(lent);
        loans_.push_back(loan);
        return {loan.code, false};
    }
    auto free = std::find_if(spares_.begin(), spares_.end(), [this](std::uint32_t spare) {
        return std::none_of(loans_.begin(), loans_.end(),
                            [spare](const Loan& loan) { return loan.code == spare; });
    });
    std::uint32_t code = free != spares_.end() ? *free : 0;
    if (code == 0) {
        auto idle =
            std::find_if(loans_.begin(), loans_.end(), [](const Loan& loan) { return !loan.down; });
        if (idle == loans_.end()) {
            return {0, false};
        }
        code = idle->code;
        loans_.erase(idle);
    }
    loans_.push_back({code, keysym, false});
    return {code, true};
}

bool KeyLoans::SetDown(std::uint32_t code, bool down) {
    auto loan = std::find_if(loans_.begin(), loans_.end(),
                             [code](const Loan& each) { return each.code == code; });
    if (loan == loans_.end()) {
        return false;
    }
    loan->down = down;
    return true;
}

std::vector<KeyLoans::Loan> KeyLoans::EndIdle() {
    std::vector<Loan> ended;
    std::copy_if(loans_.begin(), loans_.end(), std::back_inserter(ended),
                 [](const Loan& loan) { return !loan.down; });
    std::erase_if(loans_, [](const Loan& loan) { return !loan.down; });
    return ended;
}

}  // namespace reradav
