#include "shell/win32ui/MainForm.h"

#include <iostream>
#include <utility>

#include "common/DisplayText.h"
#include "common/Files.h"
#include "common/win32ui/ResourceIds.h"
#include "common/windows/SystemText.h"
#include "lock/win32ui/Form1.h"
#include "lock/win32ui/Form2.h"
#include "serial/PortControl.h"
#include "shell/win32ui/Help.h"

namespace reradav {
namespace {

int BoxId(SettingsControls::CheckBox box) {
    switch (box) {
        case SettingsControls::CheckBox::BeepOnInput:
            return IDC_BEEPONINPUT;
        case SettingsControls::CheckBox::LoadWithWindows:
            return IDC_LOADWITHWINDOWS;
        case SettingsControls::CheckBox::RemoveCRs:
            return IDC_REMOVECRS;
        case SettingsControls::CheckBox::NumFilter:
            return IDC_NUMFILTER;
        case SettingsControls::CheckBox::IgnoreDups:
            break;
    }
    return IDC_IGNOREDUPS;
}

// The pixels of a control in its dialog's client area.
RECT PlaceOf(HWND control) {
    RECT place{};
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

HICON LoadIconSized(int id, int size) {
    return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                           IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

}  // namespace

UINT MainForm::ShowMessageId() {
    static const UINT message = ::RegisterWindowMessageW(L"Reradav.OpenFromOutside");
    return message;
}

MainForm::MainForm(Beeper& beeper, std::unique_ptr<KeyboardPlatform> keyboard) {
    Create(nullptr, IDD_MAINFORM);
    HWND window = Handle();
    icon_ = LoadIconSized(IDI_RERADAV, ::GetSystemMetrics(SM_CXSMICON));
    idleIcon_ = LoadIconSized(IDI_RERADAV_IDLE, ::GetSystemMetrics(SM_CXSMICON));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageW(
        window, WM_SETICON, ICON_BIG,
        reinterpret_cast<LPARAM>(LoadIconSized(IDI_RERADAV, ::GetSystemMetrics(SM_CXICON))));
    ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS)),
                      ::GetModuleHandleW(nullptr), nullptr);
    MakeFonts();
    CentreOnScreen(window);

    engine_ =
        std::make_unique<Engine>(settings_, devices_, *this, *this, beeper, std::move(keyboard));
    if (std::string problem = engine_->KeyboardProblem(); !problem.empty()) {
        while (!problem.empty() && problem.back() == '.') {
            problem.pop_back();
        }
        SetStatus("keyboard", problem + ". Reads are still shown above");
    }
    restoreCheck_ = std::make_unique<RestoreCheck>(*this, settings_, minimisedFlag_);
    tray_ = std::make_unique<TrayIcon>(window, kTrayMessage);

    HWND ports = Item(IDC_COMBO1);
    AddListItem(ports, "None");
    for (int port = ComDevices::firstPort; port <= ComDevices::lastPort; ++port) {
        AddListItem(ports, "COM" + std::to_string(port));
    }
    ::SendMessageW(ports, CB_SETCURSEL, 0, 0);
}

MainForm::~MainForm() {
    tray_.reset();
    about_.reset();
    End(IDCANCEL);
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(stepFont_), static_cast<HGDIOBJ>(terminalFont_)}) {
        ::DeleteObject(object);
    }
}

// The STEP labels in Arial, the read and the carriage-return glyph in a terminal-style font,
// at the size for the window's monitor.
void MainForm::MakeFonts() {
    HFONT step = MakeFont(Handle(), L"Arial", 8.25, false);
    HFONT terminal = MakeFont(Handle(), L"Lucida Console", 9, false);
    for (int id : {IDC_LABEL4, IDC_LABEL5, IDC_LABEL6}) {
        ::SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(step), TRUE);
    }
    for (int id : {IDC_DISPLAY, IDC_TEXT1}) {
        ::SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(terminal), TRUE);
    }
    ::SendMessageW(Item(IDC_STATUS), WM_SETFONT, ::SendMessageW(Handle(), WM_GETFONT, 0, 0), TRUE);
    ::DeleteObject(std::exchange(stepFont_, step));
    ::DeleteObject(std::exchange(terminalFont_, terminal));
}

std::string MainForm::Form_Load(const std::filesystem::path& settingsFile,
                                const std::string& commandLine) {
    settingsFile_ = settingsFile;
    HCURSOR cursor = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    ::SetDlgItemTextW(Handle(), IDC_TEXT1,
                      reinterpret_cast<const wchar_t*>(DisplayCharacters("(\r)").c_str()));
    SetCaption(PortControl::kInactiveCaption);
    frmAbout splash(PathText(settingsFile_), origin_, KeyboardText(), frmAbout::Mode::Splash);
    splash.ShowModeless();

    for (const char* postamble : kPostambleChoices) {
        AddListItem(Item(IDC_TERMKEYCOMBO), postamble);
    }
    for (const char* sound : kSoundChoices) {
        AddListItem(Item(IDC_CBOSOUND), sound);
    }
    StartFromDefaults(settings_);

    // The icon comes before the settings, so that a window loaded minimised can go straight to
    // the tray.
    ShowPortInTray();
    std::string error =
        LoadSettings(settingsFile, commandLine, settings_, *this, devices_, &saved_);
    // Written now as well as at exit, so that a crash or a power cut does not lose it.
    if (CheckBoxValue(CheckBox::LoadWithWindows) == 1) {
        RegisterStartup();
    }
    ::SetCursor(cursor);
    return error;
}

void MainForm::ShowAsLoaded() {
    if (WindowState() == kStateMinimised && HasTrayIcon()) {
        return;  // in the tray
    }
    ShowWindow();
    if (WindowState() != kStateMinimised) {
        BringToFront();
    }
}

std::string MainForm::Save() {
    std::string note;
    std::string error = SaveSettings(settingsFile_, settings_, *this, devices_, &saved_, &note);
    if (!note.empty()) {
        std::cerr << "reradav: settings: " << note << '\n';
    }
    return error;
}

void MainForm::SaveNow() {
    const std::string error = Save();
    SetStatus("settings", error.empty() ? "" : "not saved: " + error);
}

std::string MainForm::Form_Unload() {
    unloaded_ = true;
    std::string error = Save();
    tray_->Remove();
    CloseHelp();
    return error;
}

void MainForm::OpenFromOutside() {
    restoreCheck_->mnuOpen_Click();
}

void MainForm::Quit() {
    quitFromOutside_ = true;
    Dialog::CancelModalDialogs();
    ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

// Exit, the close box, a quit from outside: no new read starts, one being typed finishes its
// key string, then the settings are saved and the window goes.
void MainForm::Form_Close() {
    if (unloaded_) {
        return;
    }
    engine_->StopReading();
    if (engine_->Typing()) {
        engine_->AfterTyping([this] { ::PostMessageW(Handle(), WM_CLOSE, 0, 0); });
        return;
    }
    const std::string error = Form_Unload();
    const std::string message = "The settings could not be saved.\n" + error;
    if (!error.empty() && quitFromOutside_) {
        std::cerr << "reradav: " << message << '\n';
    } else if (!error.empty()) {
        ShowMessage(Handle(), message);
    }
    about_.reset();
    ::ShowWindow(Handle(), SW_HIDE);
    if (onClosed) {
        onClosed(error.empty() ? 0 : 1);
    }
}

bool MainForm::OnCommand(int id, int code) {
    switch (id) {
        case IDC_COMBO1:
            // A choice closes the list (SELENDOK); the arrow keys on a closed list only change
            // the selection.
            if (code == CBN_SELENDOK ||
                (code == CBN_SELCHANGE &&
                 !::SendMessageW(Item(IDC_COMBO1), CB_GETDROPPEDSTATE, 0, 0))) {
                Combo1_Click();
            }
            return true;
        case IDC_BEEPONINPUT:
            if (code == BN_CLICKED) {
                BeepOnInput_Click();
            }
            return true;
        case IDM_PASSWORD:
            mPassword_Click();
            return true;
        case IDM_EXIT:
            Form_Close();
            return true;
        case IDM_SETTINGS:
            if (onPortSettings) {
                onPortSettings();
            }
            return true;
        case IDM_HELPINDEX:
            HelpIndex_Click();
            return true;
        case IDM_HELPABOUT:
        case IDM_ABOUT:
            HelpAbout_Click();
            return true;
        case IDM_OPEN:
            restoreCheck_->mnuOpen_Click();
            return true;
        case IDOK:
        case IDCANCEL:
            return true;  // Enter and Esc do not close the main window
        default:
            return false;
    }
}

std::optional<INT_PTR> MainForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            Form_Close();
            return 0;
        case WM_SIZE:
            Form_Resize(wParam);
            return std::nullopt;
        case WM_HELP:
            HelpIndex_Click();
            return TRUE;
        case WM_DPICHANGED:
            MakeFonts();
            return std::nullopt;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == Item(IDC_STATUS)) {
                ::SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0xA0, 0x10, 0x10));
                ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
                return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
            }
            return std::nullopt;
        case kTrayMessage:
            restoreCheck_->Form_MouseMove(LOWORD(lParam) == WM_LBUTTONDBLCLK
                                              ? TrayEvent::DoubleClick
                                          : LOWORD(lParam) == WM_RBUTTONUP ? TrayEvent::ContextMenu
                                                                           : TrayEvent::Other);
            return 0;
        default:
            break;
    }
    if (message == TrayIcon::TaskbarCreatedMessage() && message != 0) {
        tray_->AddAgain();
        return 0;
    }
    if (message == ShowMessageId() && message != 0) {
        OpenFromOutside();
        return 0;
    }
    return std::nullopt;
}

// Every change of size or state: the state the window left is kept for the lock (restored
// from the tray asks for the password), then the tray takes a minimised window.
void MainForm::Form_Resize(WPARAM kind) {
    const std::int16_t state = kind == SIZE_MINIMIZED   ? kStateMinimised
                               : kind == SIZE_MAXIMIZED ? kStateMaximised
                                                        : kStateNormal;
    if (state != lastState_) {
        minimisedFlag_.was = lastState_ == kStateMinimised;
        lastState_ = state;
    }
    restoreCheck_->Form_Resize();
}

// A user's choice, even of the entry already chosen: that tries a closed port again.
void MainForm::Combo1_Click() {
    const auto index = static_cast<std::int16_t>(Combo1ListIndex());
    if (index >= 0 && (index != settings_.ComPort || !engine_->Serial().PortOpen())) {
        engine_->Port().SelectPort(index);
    }
}

void MainForm::BeepOnInput_Click() {
    ::ShowWindow(Item(IDC_CBOSOUND), BeepOnInput() != 0 ? SW_SHOW : SW_HIDE);
}

// ---- menus, dialogs and the tray ----

void MainForm::mPassword_Click() {
    Form1 dialog(settings_);
    if (dialog.Show(Handle())) {
        SaveNow();
    }
}

void MainForm::HelpIndex_Click() {
    if (!OpenHelp(Handle())) {
        ShowMessage(Handle(), "The help document Reradav.chm could not be opened.");
    }
}

// From the menus the about box is modal; one left open from the tray is replaced.
void MainForm::HelpAbout_Click() {
    about_.reset();
    frmAbout box(PathText(settingsFile_), origin_, KeyboardText());
    box.ShowModal(::IsWindowVisible(Handle()) ? Handle() : nullptr);
}

void MainForm::ShowAboutModeless() {
    if (about_ == nullptr || about_->Handle() == nullptr) {
        about_ = std::make_unique<frmAbout>(PathText(settingsFile_), origin_, KeyboardText());
    }
    about_->ShowModeless();
}

// The menu closes when the user clicks elsewhere only while this window is in the foreground,
// and the message after it lets it close at once (the documented pair).
void MainForm::ShowTrayMenu() {
    HMENU menus = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAYMENU));
    HMENU popup = ::GetSubMenu(menus, 0);
    ::SetMenuDefaultItem(popup, IDM_ABOUT, FALSE);
    POINT at{};
    ::GetCursorPos(&at);
    ::SetForegroundWindow(Handle());
    const int command = static_cast<int>(::TrackPopupMenu(
        popup, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, Handle(), nullptr));
    ::PostMessageW(Handle(), WM_NULL, 0, 0);
    ::DestroyMenu(menus);
    if (command != 0) {
        OnCommand(command, 0);
    }
}

void MainForm::BringToFront() {
    ::SetForegroundWindow(Handle());
}

void MainForm::ShowWindow() {
    ::ShowWindow(Handle(), ::IsIconic(Handle()) ? SW_SHOWMINNOACTIVE : SW_SHOW);
}

std::string MainForm::AskPassword() {
    return Form2::Ask();
}

void MainForm::ShowInvalidPassword() {
    ShowMessage(nullptr, kInvalidPassword);
}

// Not while a modal dialog is open: hidden with the window, it would be out of reach.
bool MainForm::HasTrayIcon() const {
    return tray_->Shown() && Dialog::ModalCount() == 0 && ::IsWindowEnabled(Handle());
}

std::string MainForm::KeyboardText() const {
    return engine_->KeyboardDescription().empty() ? "none" : engine_->KeyboardDescription();
}

// ---- the window ----

bool MainForm::IsActiveWindow() const {
    return ::GetForegroundWindow() == Handle();
}

void MainForm::SetDisplay(const std::string& text) {
    ::SetDlgItemTextW(Handle(), IDC_DISPLAY,
                      reinterpret_cast<const wchar_t*>(DisplayCharacters(text).c_str()));
}

void MainForm::SetCaption(const std::string& caption) {
    ::SetWindowTextW(Handle(), Windows1252ToWide(caption).c_str());
    ShowPortInTray();
    SetStatus("port state", PortControl::CaptionStatus(caption));
}

// The tray carries the caption, and a grey icon while the port is not open: a scanner
// unplugged while the window is hidden shows there.
void MainForm::ShowPortInTray() {
    if (unloaded_ || tray_ == nullptr || engine_ == nullptr) {
        return;
    }
    std::wstring caption(static_cast<std::size_t>(::GetWindowTextLengthW(Handle())) + 1, L'\0');
    caption.resize(static_cast<std::size_t>(
        ::GetWindowTextW(Handle(), caption.data(), static_cast<int>(caption.size()))));
    tray_->Show(engine_->Serial().PortOpen() ? icon_ : idleIcon_, caption);
}

void MainForm::SetStatus(const std::string& subject, const std::string& text) {
    statusLine_.Set(subject, text);
    LayOutStatus();
}

// Under the display, in red, while there is something to say: the window grows to hold it
// and gives the room back when it is gone.
void MainForm::LayOutStatus() {
    std::string text;
    for (const std::string& sentence : statusLine_.Sentences()) {
        text += (text.empty() ? "" : "\r\n") + sentence;
    }
    const std::wstring wide = Windows1252ToWide(text);
    HWND status = Item(IDC_STATUS);
    ::SetWindowTextW(status, wide.c_str());
    const RECT display = PlaceOf(Item(IDC_DISPLAY));
    RECT needed{0, 0, display.right - display.left, 0};
    if (!wide.empty()) {
        HDC dc = ::GetDC(status);
        HGDIOBJ old =
            ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(status, WM_GETFONT, 0, 0)));
        ::DrawTextW(dc, wide.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        ::SelectObject(dc, old);
        ::ReleaseDC(status, dc);
    }
    const int gap = TwipsToPixels(Handle(), 90);
    const int height = wide.empty() ? 0 : needed.bottom + gap;
    ::SetWindowPos(status, nullptr, display.left, display.bottom + gap, needed.right, needed.bottom,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(status, wide.empty() ? SW_HIDE : SW_SHOWNA);
    const int grow = height - statusHeight_;
    if (grow == 0) {
        return;
    }
    statusHeight_ = height;
    const RECT label = PlaceOf(Item(IDC_LABEL6));
    ::SetWindowPos(Item(IDC_LABEL6), nullptr, label.left, label.top + grow, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT frame{};
    ::GetWindowRect(Handle(), &frame);
    ::SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left,
                   frame.bottom - frame.top + grow, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- settings held by controls ----

std::int16_t MainForm::CheckBoxValue(CheckBox box) const {
    const LRESULT state = ::SendMessageW(Item(BoxId(box)), BM_GETCHECK, 0, 0);
    return state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
}

void MainForm::SetCheckBoxValue(CheckBox box, std::int16_t value) {
    HWND check = Item(BoxId(box));
    const bool changed = CheckBoxValue(box) != value;
    if (value == 2) {  // a grey box from the settings file: three states from now on
        ::SendMessageW(check, BM_SETSTYLE, BS_AUTO3STATE, TRUE);
    }
    ::SendMessageW(check, BM_SETCHECK,
                   value == 1   ? BST_CHECKED
                   : value == 2 ? BST_INDETERMINATE
                                : BST_UNCHECKED,
                   0);
    if (changed && box == CheckBox::BeepOnInput) {
        BeepOnInput_Click();
    }
}

std::int16_t MainForm::CboSoundListIndex() const {
    return static_cast<std::int16_t>(::SendMessageW(Item(IDC_CBOSOUND), CB_GETCURSEL, 0, 0));
}

void MainForm::SetCboSoundListIndex(std::int16_t index) {
    ::SendMessageW(Item(IDC_CBOSOUND), CB_SETCURSEL, index, 0);
}

std::int16_t MainForm::Combo1ListIndex() const {
    return static_cast<std::int16_t>(::SendMessageW(Item(IDC_COMBO1), CB_GETCURSEL, 0, 0));
}

void MainForm::SetCombo1ListIndex(std::int16_t index) {
    if (index != Combo1ListIndex()) {
        ::SendMessageW(Item(IDC_COMBO1), CB_SETCURSEL, index, 0);
        engine_->Port().SelectPort(index);
    }
}

std::string MainForm::TermKeyComboText() const {
    return ItemText(IDC_TERMKEYCOMBO);
}

void MainForm::SetTermKeyComboText(const std::string& text) {
    SetItemText(IDC_TERMKEYCOMBO, text);
}

std::int16_t MainForm::WindowState() const {
    return ::IsIconic(Handle())   ? kStateMinimised
           : ::IsZoomed(Handle()) ? kStateMaximised
                                  : kStateNormal;
}

// A hidden window that is not minimised stays hidden when set to normal (start-up shows it
// later); the other changes show it, and the resize handler hides a minimised one in the tray.
void MainForm::SetWindowState(std::int16_t state) {
    const bool shown = ::IsWindowVisible(Handle()) != FALSE;
    if (state == kStateMinimised) {
        ::ShowWindow(Handle(), shown ? SW_MINIMIZE : SW_SHOWMINNOACTIVE);
    } else if (state == kStateMaximised) {
        ::ShowWindow(Handle(), SW_SHOWMAXIMIZED);
    } else if (shown || ::IsIconic(Handle())) {
        ::ShowWindow(Handle(), SW_RESTORE);
    }
}

// At shutdown: start once at the next logon when the box is ticked (the grey value does not
// count), minimised when the window is minimised now.
void MainForm::RegisterStartup() {
    if (onRegisterStartup) {
        onRegisterStartup(CheckBoxValue(CheckBox::LoadWithWindows) == 1,
                          settings_.ProgramPath + (WindowState() == 1 ? " /M" : ""));
    }
}

}  // namespace reradav
