// The file layer's parts the standard library does alone: paths as text, where a save goes and
// its temporary files.
#include "common/Files.h"

namespace reradav {

std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string SaveTarget(const std::filesystem::path& file, std::filesystem::path& target) {
    target = file;
    std::error_code ec;
    if (std::filesystem::is_symlink(file, ec)) {
        target = std::filesystem::weakly_canonical(file, ec);
        if (ec) {
            return FileErrorText("Cannot resolve", file, ec.value());
        }
    }
    return {};
}

std::string TemporaryNamePattern(const std::filesystem::path& file) {
    return "." + PathText(file.filename()) + ".XXXXXX";
}

void RemoveStaleTemporaries(const std::filesystem::path& file) {
    std::string prefix = TemporaryNamePattern(file);
    prefix.resize(prefix.size() - 6);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(file.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = PathText(it->path().filename());
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix)) {
            std::error_code ignored;
            std::filesystem::remove(it->path(), ignored);
        }
    }
}

}  // namespace reradav
