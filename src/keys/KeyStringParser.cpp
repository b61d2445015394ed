#include "keys/KeyStringParser.h"

#include "common/NumberText.h"
#include "keys/KeyNameTable.h"

namespace reradav {

int KeyStringParser::At(int position) const {
    return position >= 1 && position <= length_
               ? static_cast<unsigned char>(text_[static_cast<std::size_t>(position - 1)])
               : -1;
}

ParseResult KeyStringParser::ParseKeyString(std::string_view text, KeyCodeQueue& queue) {
    queue.writeIndex = 0;
    queue.readIndex = 0;
    untypable_.clear();
    if (text.size() > kMaxKeyStringLength) {
        return KeyStringTooLong;
    }
    queue_ = &queue;
    text_ = text;
    length_ = static_cast<int>(text.size());
    position_ = 0;
    while (position_ <= length_) {
        ParseResult r = ParseItem();
        if (r != ParseOk) {
            return r;
        }
    }
    return ParseOk;
}

// One item: a character, a braced key, "~", a group of items, or a modifier over the next
// item. Groups and modifiers are kept on `open_` instead of recursing.
ParseResult KeyStringParser::ParseItem() {
    enum class Step { Begin, GroupNext, Finish };
    open_.clear();
    Step step = Step::Begin;
    ParseResult r = ParseOk;
    for (;;) {
        switch (step) {
            case Step::Begin: {
                ++position_;
                int c = At(position_);
                step = Step::Finish;
                if (c < 0) {
                    r = ParseOk;
                } else if (c == '(') {
                    open_.push_back(0);
                    step = Step::GroupNext;
                } else if (c == '+' || c == '^' || c == '%') {
                    std::int16_t code = c == '+'   ? kShiftToggle
                                        : c == '^' ? kControlToggle
                                                   : kAltToggle;
                    if (Store(code)) {
                        open_.push_back(code);
                        step = Step::Begin;
                    } else {
                        r = QueueFull;
                    }
                } else if (c == '{') {
                    r = BracedKey();
                } else if (c == '~') {
                    r = Store(13) ? ParseOk : QueueFull;
                } else {
                    const auto character = static_cast<std::uint8_t>(c);
                    const std::int16_t key = platform_.VkKeyScanA(character);
                    r = key == -1 ? QueueKeyless(character, 1) : QueueKey(key, 1);
                }
                break;
            }
            case Step::GroupNext:
                if (position_ <= length_ && At(position_ + 1) != ')') {
                    step = Step::Begin;
                    break;
                }
                open_.pop_back();
                if (position_ > length_) {
                    r = MissingCloseParen;
                } else {
                    ++position_;  // over the ")"
                    r = ParseOk;
                }
                step = Step::Finish;
                break;
            case Step::Finish:
                if (r != ParseOk || open_.empty()) {
                    return r;
                }
                if (open_.back() == 0) {
                    step = Step::GroupNext;
                } else {
                    r = Store(open_.back()) ? ParseOk : QueueFull;
                    open_.pop_back();
                }
                break;
        }
    }
}

ParseResult KeyStringParser::BracedKey() {
    const int open = position_;
    std::int16_t key = 0;
    int character = -1;  // the name is one character
    int scan = open;
    // "{}}" is the key of "}" and "{ }" the space key; the name scan starts on that character.
    if (At(open + 1) == '}' || (At(open + 1) == ' ' && At(open + 2) == '}')) {
        character = At(open + 1);
        key = platform_.VkKeyScanA(static_cast<std::uint8_t>(character));
        scan = open + 1;
    }
    do {
        ++scan;
    } while (scan <= length_ && At(scan) != ' ' && At(scan) != '}');
    if (scan > length_) {
        return MissingCloseBrace;
    }
    if (character < 0) {
        const auto name =
            text_.substr(static_cast<std::size_t>(open), static_cast<std::size_t>(scan - open - 1));
        key = LookupKeyName(name, platform_);
        if (key == 0) {
            return UnknownKeyName;
        }
        character = name.size() == 1 ? static_cast<unsigned char>(name[0]) : -1;
    }

    std::int16_t count = 1;
    if (At(scan) == ' ') {
        auto n = RoundToInt16(LeadingNumber(text_.substr(static_cast<std::size_t>(scan))));
        if (!n) {
            return BadRepeatCount;
        }
        count = *n;
    }
    if (count == 0) {
        return BadRepeatCount;
    }
    const ParseResult queued = key == -1 && character >= 0
                                   ? QueueKeyless(static_cast<std::uint8_t>(character), count)
                                   : QueueKey(key, count);
    if (queued != ParseOk) {
        return queued;
    }
    while (scan <= length_ && At(scan) != '}') {
        ++scan;
    }
    if (scan > length_) {
        return MissingCloseBrace;  // "{LEFT 3" with no closing brace
    }
    position_ = scan;
    return ParseOk;
}

// A key that needs Shift (or AltGr) gets one toggle pair around all its repeats. A negative
// count never runs out, so it ends when the queue is full.
ParseResult KeyStringParser::QueueKey(std::int16_t keyValue, std::int16_t count) {
    const bool shift = (keyValue & kKeyShift) != 0;
    const bool altGr = (keyValue & kKeyAltGr) == kKeyAltGr;
    const auto vk = static_cast<std::int16_t>(keyValue & 0xFF);
    if ((shift && !Store(kShiftToggle)) || (altGr && !Store(kAltGrToggle))) {
        return QueueFull;
    }
    for (int i = 0; count < 0 || i < count; ++i) {
        if (!Store(vk)) {
            return QueueFull;
        }
    }
    if ((altGr && !Store(kAltGrToggle)) || (shift && !Store(kShiftToggle))) {
        return QueueFull;
    }
    return ParseOk;
}

// Never Shift and key 255, which typed a bare Shift. A character that nothing on the layout can
// type is noted once for the caller to report.
ParseResult KeyStringParser::QueueKeyless(std::uint8_t character, std::int16_t count) {
    const std::vector<std::int16_t> sequence = platform_.DeadKeySequence(character);
    const bool direct = sequence.empty() && platform_.CanTypeCharacter(character);
    if (sequence.empty() && !direct) {
        if (untypable_.find(static_cast<char>(character)) == std::string::npos) {
            untypable_.push_back(static_cast<char>(character));
        }
        return ParseOk;
    }
    for (int i = 0; count < 0 || i < count; ++i) {
        if (direct && !Store(static_cast<std::int16_t>(kCharacterCode | character))) {
            return QueueFull;
        }
        for (std::int16_t key : sequence) {
            if (ParseResult r = QueueKey(key, 1); r != ParseOk) {
                return r;
            }
        }
    }
    return ParseOk;
}

}  // namespace reradav
