#include "keys/windows/SendInputKeyboard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>
#include <utility>

#include "keys/KeyboardEmitter.h"

namespace reradav {
namespace {

// Another program's window in front: an EDIT on a thread of its own, with a key state of its own.
class TargetWindow {
  public:
    TargetWindow() {
        for (int i = 0; i < 1000 && (edit_ == nullptr || ::GetForegroundWindow() != edit_); ++i) {
            ::Sleep(2);
        }
    }
    ~TargetWindow() {
        ::PostMessageW(edit_, WM_QUIT, 0, 0);
        thread_.join();
    }
    // The text once it reads `expected` (or as it is after two seconds), emptied for the next.
    std::wstring Take(const std::wstring& expected) const {
        wchar_t text[256] = L"";
        for (int i = 0; i < 200 && (::GetWindowTextW(edit_, text, 256), expected != text); ++i) {
            ::Sleep(10);
        }
        ::SetWindowTextW(edit_, L"");
        return text;
    }

  private:
    std::atomic<HWND> edit_ = nullptr;
    std::thread thread_{[this] {
        HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN, 0,
                                      0, 400, 200, nullptr, nullptr, nullptr, nullptr);
        ::SetForegroundWindow(edit);
        ::SetFocus(edit);
        edit_ = edit;
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::DestroyWindow(edit);
    }};
};

void Tap(BYTE vk) {
    ::keybd_event(vk, 0, 0, 0);
    ::keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
}

// US layout: under Wine, the virtual keys of other layouts type the wrong characters.
TEST(SendInputKeyboard, TypesKeyStringsIntoTheWindowInFrontAsWrittenWithCapsLockOffOrOn) {
    // Key strings in Windows-1252, and what they type.
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"Hello, World! 123", L"Hello, World! 123"},
        {"Gr\xFC\xDF \xE9{{}\x80", L"Gr\u00FC\u00DF \u00E9{\u20AC"},
        {"abc{LEFT}{BS}X~+(de){TAB}f", L"aX\r\nDE\tfc"}};
    TargetWindow target;
    SendInputKeyboard keyboard(nullptr);  // this thread has no windows whose events must run
    KeyboardEmitter emitter(keyboard);
    // Off, on and off again: the lock is put back for the tests that follow.
    for (bool capsLock : {false, true, false}) {
        if (capsLock != ((::GetKeyState(VK_CAPITAL) & 1) != 0)) {
            Tap(VK_CAPITAL);
        }
        for (const auto& [keys, text] : cases) {
            EXPECT_EQ(emitter.SimKeys(keys), ParseOk);
            EXPECT_EQ(target.Take(text), text) << keys << (capsLock ? " with Caps Lock" : "");
        }
        Tap('A');  // shows the lock that the window in front is left with
        EXPECT_EQ(target.Take(capsLock ? L"A" : L"a"), capsLock ? L"A" : L"a");
    }
    EXPECT_EQ(OpenSendInputKeyboard(nullptr).description, "SendInput, layout en-US");
}

TEST(SendInputKeyboard, LetsGoOfTheKeysItHoldsWhenDestroyedInTheMiddleOfAKeyString) {
    TargetWindow target;
    struct Interrupted {};
    {
        SendInputKeyboard keyboard([] {
            if (::GetAsyncKeyState('A') < 0) {
                throw Interrupted{};  // the quit of a program that had no time left
            }
        });
        EXPECT_THROW(KeyboardEmitter(keyboard).SimKeys("+(abc)"), Interrupted);
        ASSERT_LT(::GetAsyncKeyState(VK_SHIFT) & ::GetAsyncKeyState('A'), 0);
    }
    EXPECT_GE(::GetAsyncKeyState(VK_SHIFT), 0);
    EXPECT_GE(::GetAsyncKeyState('A'), 0);
}

}  // namespace
}  // namespace reradav
