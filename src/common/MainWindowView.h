#pragma once

#include <string>

namespace reradav {

// What the engine needs of the main window.
class MainWindowView {
  public:
    virtual ~MainWindowView() = default;
    // True while the main window itself holds the keyboard focus: nothing is typed then.
    virtual bool IsActiveWindow() const = 0;
    // Replaces the text of the `Display` box.
    virtual void SetDisplay(const std::string& text) = 0;
    // The window caption, which is the status line of the port.
    virtual void SetCaption(const std::string& caption) = 0;
    // The status line: what went wrong with the last read, such as "cannot type '\xF1' on
    // layout us" (Windows-1252), by the part it concerns ("keyboard", "port"); empty text when
    // all went well.
    virtual void SetStatus(const std::string& subject, const std::string& text) = 0;
};

}  // namespace reradav
