#pragma once

#include <string>
#include <vector>

namespace reradav {

// This process's arguments after the program name, UTF-8, split as the C runtime splits them.
std::vector<std::string> ProgramArguments();

}  // namespace reradav
