#pragma once

#include <string>

namespace reradav {

// The main window's preference controls, read at the moment a value is needed, so a change
// takes effect with the next character or read. A check box counts as set when not 0.
class PreferenceControls {
  public:
    virtual ~PreferenceControls() = default;
    virtual int BeepOnInput() const = 0;
    virtual int cboSound() const = 0;  // list position, -1 for none
    virtual int RemoveCRs() const = 0;
    virtual int NumFilter() const = 0;
    virtual int IgnoreDups() const = 0;
    virtual std::string TermKeyCombo() const = 0;  // the postamble text
};

}  // namespace reradav
