#include "keys/linux/KeyLoans.h"

#include <gtest/gtest.h>

namespace reradav {
namespace {

// Two spare keys of two levels each; a loan is kept 5000 ms after its last use.
struct LoansRow {
    const char* name;
    std::vector<std::uint32_t> keysyms;  // lent at 1000 ms apart
    std::vector<std::uint32_t> down;     // keys held when the last is lent
    std::uint32_t wait;                  // after the last loan: how long after it to lend again
    KeyLoans::Lent last;
};

TEST(KeyLoans, KeysAreLentFirstLevelsFirstAndTakenOverOnlyOnceKept) {
    const LoansRow rows[] = {
        {"first levels first", {1, 2}, {}, 0, {11, 0, true, 0}},
        {"then second levels", {1, 2, 3}, {}, 0, {10, 1, true, 0}},
        {"a keysym lent keeps its key", {1, 2, 3, 1}, {}, 0, {10, 0, false, 0}},
        {"full: waits for the oldest", {1, 2, 3, 4, 5}, {}, 0, {0, 0, false, 1000}},
        {"kept long enough: taken over", {1, 2, 3, 4, 5}, {}, 1000, {10, 0, true, 0}},
        {"a key held down is never taken", {1, 2, 3, 4, 5}, {10}, 1000, {0, 0, false, 1000}},
        {"all held down: nothing to wait for", {1, 2, 3, 4, 5}, {10, 11}, 9000, {}},
    };
    for (const LoansRow& row : rows) {
        KeyLoans loans(2, 5000);
        loans.SetSpares({10, 11});
        std::uint32_t now = 0;
        KeyLoans::Lent lent;
        for (std::size_t i = 0; i < row.keysyms.size(); ++i) {
            now = static_cast<std::uint32_t>(i) * 1000;
            if (i + 1 == row.keysyms.size()) {
                for (std::uint32_t code : row.down) {
                    loans.SetDown(code, true, now - 1000);
                }
                now += row.wait;
            }
            lent = loans.Lend(row.keysyms[i], now);
        }
        EXPECT_EQ(lent.code, row.last.code) << row.name;
        EXPECT_EQ(lent.level, row.last.level) << row.name;
        EXPECT_EQ(lent.fresh, row.last.fresh) << row.name;
        EXPECT_EQ(lent.waitMs, row.last.waitMs) << row.name;
    }
}

TEST(KeyLoans, OnlyKeysUnusedForTheIdleTimeAreGivenBack) {
    KeyLoans loans(2, 5000);
    loans.SetSpares({10, 11, 12});
    loans.Lend(1, 0);  // 10
    loans.Lend(2, 0);  // 11
    loans.Lend(3, 0);  // 12
    loans.Lend(4, 0);  // 10, second level
    loans.SetDown(10, true, 20000);
    loans.SetDown(10, false, 20000);
    loans.SetDown(12, true, 1000);
    EXPECT_EQ(loans.IdleKeys(29999, 30000), std::vector<std::uint32_t>{})
        << "none idle long enough";
    EXPECT_EQ(loans.IdleKeys(31000, 30000), std::vector<std::uint32_t>{11})
        << "10 was used since, 12 is down";
    EXPECT_EQ(loans.Keysyms(10), (std::vector<std::uint32_t>{1, 4}));
    loans.End(10);
    EXPECT_EQ(loans.Keysyms(10), (std::vector<std::uint32_t>{0, 0}));
    loans.SetSpares({11});
    EXPECT_EQ(loans.Loans().size(), 1u) << "a key no longer spare is no longer lent";
    EXPECT_EQ(loans.Lend(5, 31000).code, 11u);
}

}  // namespace
}  // namespace reradav
