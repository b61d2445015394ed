#include "app/windows/ProgramArguments.h"

#include <windows.h>

#include <shellapi.h>

#include "common/windows/SystemText.h"

namespace reradav {

std::vector<std::string> ProgramArguments() {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        args.push_back(WideToUtf8(wide[i]));
    }
    ::LocalFree(wide);
    return args;
}

}  // namespace reradav
