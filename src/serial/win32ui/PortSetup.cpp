#include "serial/win32ui/PortSetup.h"

#include <string>

#include "common/win32ui/ResourceIds.h"
#include "serial/LineSettings.h"

namespace reradav {
namespace {

template <typename Items>
void Fill(HWND combo, const Items& items) {
    for (const auto& item : items) {
        AddListItem(combo, std::string(item));
    }
}

// A stored index outside the list (a hand-edited settings file) shows no selection.
void Select(HWND combo, int index) {
    const auto count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
    ::SendMessageW(combo, CB_SETCURSEL, index >= 0 && index < count ? index : -1, 0);
}

std::int16_t Selected(HWND combo) {
    return static_cast<std::int16_t>(::SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

}  // namespace

bool PortSetup::Show(HWND owner) {
    owner_ = owner;
    return RunModal(owner, IDD_PORTSETUP) == IDOK;
}

bool PortSetup::OnInit() {
    // The left edge 800 twips left of the main window's, the top 340 twips below its top. A
    // window hidden in the tray still knows its last place, so the dialog lands where it was.
    RECT owner{};
    if (owner_ != nullptr && ::GetWindowRect(owner_, &owner)) {
        ::SetWindowPos(Handle(), nullptr, owner.left - TwipsToPixels(owner_, 800),
                       owner.top + TwipsToPixels(owner_, 340), 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    std::vector<std::string> rates;
    for (int rate : kBaudRates) {
        rates.push_back(std::to_string(rate));
    }
    Fill(Item(IDC_BAUDCOMBO), rates);
    Fill(Item(IDC_PARITYCOMBO), kParityItems);
    Fill(Item(IDC_DATABITSCOMBO), kDataBitsItems);
    Fill(Item(IDC_STOPBITSCOMBO), kStopBitsItems);
    Fill(Item(IDC_FLOWCTRLCOMBO), kFlowControlItems);
    Select(Item(IDC_BAUDCOMBO), settings_.BaudIndex);
    Select(Item(IDC_PARITYCOMBO), settings_.ParityIndex);
    Select(Item(IDC_DATABITSCOMBO), settings_.DataBitsIndex);
    Select(Item(IDC_STOPBITSCOMBO), settings_.StopBitsIndex);
    Select(Item(IDC_FLOWCTRLCOMBO), settings_.Handshake);
    SetItemText(IDC_BEEPSTRING, settings_.ScannerBeepString);
    // Enter confirms what is shown; the beep-string box is not where a user starts.
    ::SetFocus(Item(IDOK));
    return false;
}

bool PortSetup::OnCommand(int id, int code) {
    if (id == IDOK) {
        OK_Button_Click();
        return true;
    }
    if (id == IDC_HELPBUTTON) {
        showHelp_();
        return true;
    }
    return Dialog::OnCommand(id, code);
}

// F1 opens the help here as it does in the main window.
std::optional<INT_PTR> PortSetup::OnMessage(UINT message, WPARAM, LPARAM) {
    if (message == WM_HELP) {
        showHelp_();
        return TRUE;
    }
    return std::nullopt;
}

void PortSetup::OK_Button_Click() {
    LineIndexes indexes;
    indexes.BaudIndex = Selected(Item(IDC_BAUDCOMBO));
    indexes.ParityIndex = Selected(Item(IDC_PARITYCOMBO));
    indexes.DataBitsIndex = Selected(Item(IDC_DATABITSCOMBO));
    indexes.StopBitsIndex = Selected(Item(IDC_STOPBITSCOMBO));
    StoreLineChoices(settings_, indexes, Selected(Item(IDC_FLOWCTRLCOMBO)),
                     ItemText(IDC_BEEPSTRING));
    if (serial_.PortOpen()) {
        port_.ReapplySettings();
    }
    End(IDOK);
}

}  // namespace reradav
