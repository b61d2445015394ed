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

KeyLoans::Lent KeyLoans::Lend(std::uint32_t keysym, std::uint32_t now) {
    auto lent = std::find_if(loans_.begin(), loans_.end(),
                             [keysym](const Loan& loan) { return loan.keysym == keysym; });
    if (lent != loans_.end()) {
        Loan loan = *lent;
        loan.used = now;
        loans_.erase(lent);
        loans_.push_back(loan);
        return {loan.code, loan.level, false, 0};
    }
    auto taken = [this](std::uint32_t code, std::uint32_t level) {
        return std::any_of(loans_.begin(), loans_.end(), [&](const Loan& loan) {
            return loan.code == code && loan.level == level;
        });
    };
    for (std::uint32_t level = 0; level < levels_; ++level) {
        for (const std::uint32_t spare : spares_) {
            if (!taken(spare, level)) {
                loans_.push_back({spare, level, keysym, now});
                return {spare, level, true, 0};
            }
        }
    }
    auto oldest = std::find_if(loans_.begin(), loans_.end(),
                               [this](const Loan& loan) { return !IsDown(loan.code); });
    if (oldest == loans_.end()) {
        return {};
    }
    const std::uint32_t age = now - oldest->used;
    if (age < keepMs_) {
        return {0, 0, false, keepMs_ - age};
    }
    const Loan loan{oldest->code, oldest->level, keysym, now};
    loans_.erase(oldest);
    loans_.push_back(loan);
    return {loan.code, loan.level, true, 0};
}

bool KeyLoans::SetDown(std::uint32_t code, bool down, std::uint32_t now) {
    bool lent = false;
    for (Loan& loan : loans_) {
        if (loan.code == code) {
            loan.used = now;
            lent = true;
        }
    }
    std::erase(down_, code);
    if (lent && down) {
        down_.push_back(code);
    }
    return lent;
}

std::vector<std::uint32_t> KeyLoans::Keysyms(std::uint32_t code) const {
    std::vector<std::uint32_t> keysyms(levels_, 0);
    for (const Loan& loan : loans_) {
        if (loan.code == code) {
            keysyms[loan.level] = loan.keysym;
        }
    }
    return keysyms;
}

std::vector<std::uint32_t> KeyLoans::Keys() const {
    std::vector<std::uint32_t> keys;
    for (const Loan& loan : loans_) {
        if (std::find(keys.begin(), keys.end(), loan.code) == keys.end()) {
            keys.push_back(loan.code);
        }
    }
    return keys;
}

std::vector<std::uint32_t> KeyLoans::IdleKeys(std::uint32_t now, std::uint32_t idleMs) const {
    std::vector<std::uint32_t> idle = Keys();
    std::erase_if(idle, [&](std::uint32_t code) {
        return IsDown(code) || std::any_of(loans_.begin(), loans_.end(), [&](const Loan& loan) {
                   return loan.code == code && now - loan.used < idleMs;
               });
    });
    return idle;
}

void KeyLoans::End(std::uint32_t code) {
    std::erase_if(loans_, [code](const Loan& loan) { return loan.code == code; });
    std::erase(down_, code);
}

bool KeyLoans::IsDown(std::uint32_t code) const {
    return std::find(down_.begin(), down_.end(), code) != down_.end();
}

}  // namespace reradav
