#include "keys/windows/SendInputKeyboard.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include "common/CodePage1252.h"
#include "common/windows/SystemText.h"
#include "keys/windows/KeyboardLayoutName.h"

namespace reradav {
namespace {

// The layout of the thread that owns the window in front, which is where the keys go; this
// thread's own when no window is in front.
HKL ForegroundLayout() {
    return ::GetKeyboardLayout(::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr));
}

// Keys of a PC keyboard's extended block. Their events carry KEYEVENTF_EXTENDEDKEY as the real
// keys' do, so that programs reading scan codes (remote desktops, virtual machines) see an arrow
// and not the keypad key that shares its scan code.
bool IsExtendedKey(std::uint8_t vk) {
    switch (vk) {
        case VK_CANCEL:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_END:
        case VK_HOME:
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_SNAPSHOT:
        case VK_INSERT:
        case VK_DELETE:
        case VK_LWIN:
        case VK_RWIN:
        case VK_APPS:
        case VK_SLEEP:
        case VK_DIVIDE:
        case VK_NUMLOCK:
        case VK_RCONTROL:
        case VK_RMENU:
            return true;
        default:
            return vk >= VK_BROWSER_BACK && vk <= VK_LAUNCH_APP2;
    }
}

bool IsControlCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// Shift states the key-string parser can hold for a key: none, Shift, AltGr (Control with Alt)
// and Shift with AltGr. Another (Control or Alt alone, Kana) would type a different character.
bool ParserHoldsShiftState(int state) {
    return state == 0 || state == 1 || state == 6 || state == 7;
}

// A dead key would wait for the next key and change it ("^" then "a" types "â"). Flag 4
// asks without leaving the dead key pending in this thread's keyboard state.
bool IsDeadKey(SHORT key, HKL layout) {
    BYTE state[256]{};
    state[VK_SHIFT] = (key & 0x100) != 0 ? 0x80 : 0;
    state[VK_CONTROL] = (key & 0x200) != 0 ? 0x80 : 0;
    state[VK_MENU] = (key & 0x400) != 0 ? 0x80 : 0;
    const UINT vk = LOBYTE(key);
    wchar_t text[8];
    return ::ToUnicodeEx(vk, ::MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout), state, text,
                         std::size(text), 4, layout) < 0;
}

bool IsElevated(HANDLE process) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token)) {
        return false;
    }
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool elevated =
        ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
        elevation.TokenIsElevated != 0;
    ::CloseHandle(token);
    return elevated;
}

// Windows drops the keys sent to a program with higher rights than ours without telling
// SendInput's caller, so the rights are compared instead.
bool ForegroundRunsAboveUs() {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(::GetForegroundWindow(), &processId);
    if (processId == 0 || IsElevated(::GetCurrentProcess())) {
        return false;
    }
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        return false;
    }
    const bool above = IsElevated(process);
    ::CloseHandle(process);
    return above;
}

}  // namespace

SendInputKeyboard::SendInputKeyboard(std::function<void()> serviceEvents)
    : serviceEvents_(std::move(serviceEvents)) {}

// A key left down would go on acting in the user's typing (a Shift, a Control) after we quit.
SendInputKeyboard::~SendInputKeyboard() {
    std::vector<KeyEvent> releases(held_.rbegin(), held_.rend());
    for (KeyEvent& release : releases) {
        release.flags |= KEYEVENTF_KEYUP;
    }
    if (!releases.empty()) {
        Send(releases);
    }
}

// The character is looked up as Unicode: the A form would read it in the system's code page,
// which is Windows-1252 only on western systems.
std::int16_t SendInputKeyboard::VkKeyScanA(std::uint8_t character) {
    const char32_t unicode = Windows1252ToUnicode(character);
    const HKL layout = ForegroundLayout();
    const SHORT key = ::VkKeyScanExW(static_cast<WCHAR>(unicode), layout);
    if (key == -1 || IsControlCharacter(unicode)) {
        return key;  // Windows' own answer: Enter, Tab, Control with a letter
    }
    return ParserHoldsShiftState(HIBYTE(key)) && !IsDeadKey(key, layout) ? key : -1;
}

std::uint32_t SendInputKeyboard::MapVirtualKeyA(std::uint32_t code, std::uint32_t mapType) {
    return ::MapVirtualKeyExW(code, mapType, ForegroundLayout());
}

// A key goes with its own scan code and extended bit on the layout in front, not the caller's:
// Caps Lock comes with the scan code of Num Lock, and arrows without their extended bit, which
// programs that read scan codes would take for other keys. The virtual key decides the rest.
void SendInputKeyboard::keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) {
    KeyEvent event{};
    if ((flags & kKeyEventUnicode) != 0) {
        event = {0, static_cast<std::uint16_t>(Windows1252ToUnicode(scan)), KEYEVENTF_UNICODE};
    } else {
        const UINT own = ::MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, ForegroundLayout()) & 0xFFu;
        event = {vk, static_cast<std::uint16_t>(own != 0 ? own : scan),
                 IsExtendedKey(vk) ? static_cast<std::uint32_t>(KEYEVENTF_EXTENDEDKEY) : 0u};
    }
    auto same = [&event](const KeyEvent& held) {
        return held.vk == event.vk && (event.vk != 0 || held.scan == event.scan);
    };
    if ((flags & kKeyEventKeyUp) != 0) {
        event.flags |= KEYEVENTF_KEYUP;
        if (Send({event})) {
            std::erase_if(held_, same);
        }
    } else if (Send({event}) && std::none_of(held_.begin(), held_.end(), same)) {
        held_.push_back(event);
    }
}

bool SendInputKeyboard::Send(const std::vector<KeyEvent>& events) {
    std::vector<INPUT> inputs(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = events[i].vk;
        inputs[i].ki.wScan = events[i].scan;
        inputs[i].ki.dwFlags = events[i].flags;
    }
    const auto count = static_cast<UINT>(inputs.size());
    if (::SendInput(count, inputs.data(), sizeof(INPUT)) == count) {
        refused_.clear();
        return true;
    }
    refused_ = "Windows refused the key events (" + SystemMessage(::GetLastError()) + ")";
    return false;
}

// This thread's key state follows only the keyboard messages it reads itself, and the keys go
// to another program. Asking for one key first brings it up to the system's state while no
// keyboard message waits here, so Caps Lock is seen as the user left it.
void SendInputKeyboard::GetKeyboardState(KeyboardState& state) {
    ::GetKeyState(VK_CAPITAL);
    ::GetKeyboardState(state.data());
}

void SendInputKeyboard::SetKeyboardState(const KeyboardState& state) {
    KeyboardState copy = state;
    ::SetKeyboardState(copy.data());
}

// Milliseconds of the performance counter. GetTickCount moves in steps of the system timer
// (15.6 ms), which would make each key wait that long instead of one millisecond.
std::uint32_t SendInputKeyboard::GetTickCount() {
    LARGE_INTEGER now{};
    LARGE_INTEGER frequency{};
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    const LONGLONG perSecond = frequency.QuadPart;
    return static_cast<std::uint32_t>(now.QuadPart / perSecond * 1000 +
                                      now.QuadPart % perSecond * 1000 / perSecond);
}

void SendInputKeyboard::ServiceEvents() {
    if (serviceEvents_) {
        serviceEvents_();
    } else {
        ::Sleep(1);
    }
}

std::string SendInputKeyboard::LayoutName() {
    return KeyboardLayoutName(ForegroundLayout());
}

std::string SendInputKeyboard::Failure() {
    if (!refused_.empty()) {
        return refused_;
    }
    return ForegroundRunsAboveUs()
               ? "the window in front runs as administrator, and Windows keeps programs without "
                 "those rights from typing into it: start Reradav as administrator to type there"
               : "";
}

OpenedKeyboard OpenSendInputKeyboard(std::function<void()> serviceEvents) {
    HDESK desktop = ::OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
    if (desktop == nullptr) {
        return {nullptr,
                "No keyboard output: this session has no desktop to type on (" +
                    SystemMessage(::GetLastError()) +
                    "). Start Reradav on your own unlocked desktop, not as a service.",
                ""};
    }
    ::CloseDesktop(desktop);
    auto keyboard = std::make_unique<SendInputKeyboard>(std::move(serviceEvents));
    std::string description = "SendInput, layout " + keyboard->LayoutName();
    return {std::move(keyboard), "", std::move(description)};
}

}  // namespace reradav
