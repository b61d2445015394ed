#include "keys/linux/KeyLoans.h"

#include <gtest/gtest.h>

namespace reradav {
namespace {

using Codes = std::vector<std::uint32_t>;

// Two spare keys (10, 11) of two levels; a loan is kept 5000 ms after its last use. The keysyms
// are lent 1000 ms apart, the last `later` ms after its turn with the keys `down` held.
TEST(KeyLoans, KeysAreLentFirstLevelsFirstAndTakenOverOnlyOnceKept) {
    const std::tuple<const char*, Codes, Codes, std::uint32_t, Codes> rows[] = {
        {"first levels first", {1, 2}, {}, 0, {11, 0, 1, 0}},
        {"then second levels", {1, 2, 3}, {}, 0, {10, 1, 1, 0}},
        {"a keysym lent keeps its key", {1, 2, 3, 1}, {}, 0, {10, 0, 0, 0}},
        {"full: waits for the oldest", {1, 2, 3, 4, 5}, {}, 0, {0, 0, 0, 1000}},
        {"kept long enough: taken over", {1, 2, 3, 4, 5}, {}, 1000, {10, 0, 1, 0}},
        {"a key held down is never taken", {1, 2, 3, 4, 5}, {10}, 1000, {0, 0, 0, 1000}},
        {"all held down: nothing to wait for", {1, 2, 3, 4, 5}, {10, 11}, 9000, {0, 0, 0, 0}},
    };
    for (const auto& [name, keysyms, down, later, expected] : rows) {
        KeyLoans loans(2, 5000);
        loans.SetSpares({10, 11});
        KeyLoans::Lent lent;
        for (std::uint32_t i = 0; i < keysyms.size(); ++i) {
            const bool last = i + 1 == keysyms.size();
            for (std::uint32_t code : last ? down : Codes{}) {
                loans.SetDown(code, true, i * 1000 - 1000);
            }
            lent = loans.Lend(keysyms[i], i * 1000 + (last ? later : 0));
        }
        EXPECT_EQ(Codes({lent.code, lent.level, lent.fresh, lent.waitMs}), expected) << name;
    }
}

TEST(KeyLoans, OnlyKeysUnusedForTheIdleTimeAreGivenBack) {
    KeyLoans loans(2, 5000);
    loans.SetSpares({10, 11, 12});
    for (std::uint32_t keysym : {1, 2, 3, 4}) {
        loans.Lend(keysym, 0);  // 10, 11, 12, then 10's second level
    }
    loans.SetDown(10, true, 20000);
    loans.SetDown(10, false, 20000);
    loans.SetDown(12, true, 1000);
    EXPECT_EQ(loans.IdleKeys(29999, 30000), Codes{}) << "none idle long enough";
    EXPECT_EQ(loans.IdleKeys(31000, 30000), Codes{11}) << "10 was used since, 12 is down";
    EXPECT_EQ(loans.Keysyms(10), Codes({1, 4}));
    loans.End(10);
    loans.SetSpares({11});
    EXPECT_EQ(loans.Loans().size(), 1u) << "a key no longer spare is no longer lent";
}

}  // namespace
}  // namespace reradav
