#pragma once

#include <functional>

struct _XDisplay;

namespace reradav {

// Xlib reports protocol errors to one process-wide handler whose default ends the program, and
// ends it too when a connection breaks. Displays watched here are spared both: their protocol
// errors are counted (the caller checks the count around a request that may fail), a broken
// connection calls `lost` and leaves the display inert. Other displays (Qt's) keep the handlers
// they had.
class XErrors {
  public:
    static void Watch(_XDisplay* display, std::function<void()> lost = {});
    static void Forget(_XDisplay* display);
    // Protocol errors the display has received so far.
    static unsigned long Count(_XDisplay* display);
};

}  // namespace reradav
