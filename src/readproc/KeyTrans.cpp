#include "readproc/KeyTrans.h"

#include <utility>

namespace reradav {

void InitKeyTrans(KeyTransTable& keyTrans) {
    for (int i = 0; i < 256; ++i) {
        const bool control = i <= 31 || (i >= 128 && i <= 159);
        keyTrans[static_cast<std::size_t>(i)] =
            control ? std::string() : std::string(1, static_cast<char>(i));
    }
    static const std::pair<int, const char*> kNamed[] = {
        {8, "{BACKSPACE}"}, {9, "{TAB}"},      {13, "{ENTER}"}, {27, "{ESCAPE}"}, {32, "{ }"},
        {36, "{F9}"},       {37, "{F10}"},     {40, "{(}"},     {41, "{)}"},      {43, "{+}"},
        {91, "{[}"},        {93, "{]}"},       {94, "{^}"},     {123, "{{}"},     {125, "{}}"},
        {126, "{~}"},       {127, "{DELETE}"}, {160, "{ }"},
    };
    for (auto [code, keys] : kNamed) {
        keyTrans[static_cast<std::size_t>(code)] = keys;
    }
}

}  // namespace reradav
