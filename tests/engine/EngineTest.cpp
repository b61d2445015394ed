// End to end: bytes on a pseudo-terminal come out as key presses in a real X window.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>

#include "support/X11Wedge.h"

namespace reradav {
namespace {

using test::X11Wedge;

class EngineTyping : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        wedge_ = std::make_unique<X11Wedge>();
        if (!wedge_->Start(&startError_)) {
            wedge_.reset();
        }
    }
    static void TearDownTestSuite() { wedge_.reset(); }

    void SetUp() override {
        if (!wedge_) {
            GTEST_SKIP() << "no X server for the end-to-end test: " << startError_;
        }
        wedge_->ClearReceived();
        wedge_->preferences = {};
    }

    // Scans and returns what the target window received, waiting for `expected` to arrive.
    std::string ScanAndWait(const std::string& scan, const std::string& expected) {
        wedge_->Scan(scan);
        return wedge_->WaitForText(expected.size(), 20000);
    }

    static std::unique_ptr<X11Wedge> wedge_;
    static std::string startError_;
};

std::unique_ptr<X11Wedge> EngineTyping::wedge_;
std::string EngineTyping::startError_;

TEST_F(EngineTyping, AScanArrivesExactlyWithItsKeys) {
    const std::string expected = "Hello, World! 12345{}~+^<F10>()[]<Return>";
    EXPECT_EQ(ScanAndWait("Hello, World! 12345{}~+^%()[]\r", expected), expected);
    EXPECT_EQ(wedge_->window.display, "Hello, World! 12345{}~+^%()[]\r");
}

TEST_F(EngineTyping, TabDollarAndPercentAreKeys) {
    const std::string expected = "a<Tab>b<F9>c<F10>";
    EXPECT_EQ(ScanAndWait("a\tb$c%", expected), expected);
}

TEST_F(EngineTyping, ThePostambleFollowsTheRead) {
    wedge_->preferences.postamble = "{TAB}";
    wedge_->preferences.Box(test::CheckBox::RemoveCRs) = 1;
    const std::string expected = "4006381333931<Tab>";
    EXPECT_EQ(ScanAndWait("4006381333931\r\n", expected), expected);
}

TEST_F(EngineTyping, CapsLockOnDoesNotChangeTheCaseAndStaysOn) {
    wedge_->SetCapsLock(true);
    ASSERT_TRUE(wedge_->CapsLock());
    wedge_->ClearReceived();
    const std::string expected = "Hello World 42";
    EXPECT_EQ(ScanAndWait("Hello World 42", expected), expected);
    EXPECT_TRUE(wedge_->CapsLock());
    wedge_->SetCapsLock(false);
}

TEST_F(EngineTyping, ALongReadArrivesWholeAndInOrder) {
    const std::string alphabet =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,;:-_/!?@#&*=<>'\"";
    std::string scan;
    for (std::size_t i = 0; scan.size() < 2000; ++i) {
        scan += alphabet[(i * 7) % alphabet.size()];
    }
    const std::string received = ScanAndWait(scan, scan);
    EXPECT_EQ(received.size(), scan.size());
    EXPECT_TRUE(received == scan)
        << "first difference at "
        << std::mismatch(scan.begin(), scan.end(), received.begin(), received.end()).first -
               scan.begin();
}

TEST_F(EngineTyping, AGermanLayoutTypesItsOwnCharacters) {
    ASSERT_TRUE(wedge_->X().SetLayout("de"));
    wedge_->RunFor(200);
    // Windows-1252 in, UTF-8 out: ä, ß and € need the layout's own keys, @ { } ~ need AltGr.
    // The built-in table types nothing for 128..159; a settings entry KeyTrans128=€ types €.
    wedge_->settings.KeyTrans[0x80] = "\x80";
    const std::string expected = "yz@{}~\xC3\xA4\xC3\x9F\xE2\x82\xAC<Return>";
    const std::string received = ScanAndWait("yz@{}~\xE4\xDF\x80\r", expected);
    ASSERT_TRUE(wedge_->X().SetLayout("us"));
    EXPECT_EQ(received, expected);
}

}  // namespace
}  // namespace reradav

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
