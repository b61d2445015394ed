#include "keys/linux/XErrors.h"

// gtest before Xlib, whose None macro clashes with a gtest name.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include "support/Processes.h"

namespace reradav {
namespace {

int othersErrors = 0;

TEST(XErrors, AWatchedDisplaysErrorsAreCountedOthersKeepTheirHandlerAndADeadServerEndsNothing) {
    test::XvfbServer x;
    std::string error;
    if (!x.Start(&error)) {
        GTEST_SKIP() << error;
    }
    XSetErrorHandler([](Display*, XErrorEvent*) { return ++othersErrors, 0; });
    Display* ours = XOpenDisplay(x.Display().c_str());
    Display* others = XOpenDisplay(x.Display().c_str());
    ASSERT_TRUE(ours != nullptr && others != nullptr);
    bool lost = false;
    XErrors::Watch(ours, [&lost] { lost = true; });
    // Requests on a window that does not exist, as when one closed between two requests.
    for (Display* display : {ours, ours, others}) {
        XMapWindow(display, 0x1fffff);
        XSync(display, False);
    }
    EXPECT_EQ(XErrors::Count(ours), 2u);
    EXPECT_EQ(othersErrors, 1);
    XCloseDisplay(others);
    x.Kill();
    XSync(ours, False);  // the program goes on
    EXPECT_TRUE(lost);
    XErrors::Forget(ours);
    XCloseDisplay(ours);
}

}  // namespace
}  // namespace reradav
