#pragma once

#include <string>
#include <utility>
#include <vector>

namespace reradav {

// The main window's status line: one sentence a subject ("keyboard", "port state", ...), in
// the order the subjects first spoke, so that a port message never hides the keyboard's nor
// the other way round. Windows-1252 text.
class StatusLine {
  public:
    // Replaces what `subject` says; empty text takes it off the line.
    void Set(const std::string& subject, const std::string& text);
    // The sentences (a capital first letter, a full stop), one a line.
    std::vector<std::string> Sentences() const;

  private:
    std::vector<std::pair<std::string, std::string>> said_;
};

}  // namespace reradav
