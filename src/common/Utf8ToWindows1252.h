#pragma once

#include <string>
#include <string_view>

namespace reradav {

struct Windows1252Result {
    std::string bytes;
    // Empty when every character converted; otherwise what stopped the conversion and where.
    std::string error;

    bool ok() const { return error.empty(); }
};

// UTF-8 text as typed on a Linux command line, converted to the Windows-1252 bytes a scanner
// sends. Strict UTF-8: overlong forms, surrogates and truncated sequences are errors, as is
// any character Windows-1252 lacks. The five C1 code points Windows-1252 leaves undefined
// (U+0081, U+008D, U+008F, U+0090, U+009D) map to their own byte, as the widgets' table reads
// those bytes back.
Windows1252Result Utf8ToWindows1252(std::string_view utf8);

}  // namespace reradav
