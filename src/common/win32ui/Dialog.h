#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace reradav {

// A dialog made from a resource template, modal or modeless, whose messages go to the object's
// handlers. The object outlives its window.
class Dialog {
  public:
    virtual ~Dialog();
    Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    HWND Handle() const { return window_; }

    // Modal: returns the value given to End (IDOK, IDCANCEL), or -1 when the dialog could not
    // be made.
    INT_PTR RunModal(HWND owner, int templateId);
    // Modeless: false when the dialog could not be made. Its messages need IsDialogMessage,
    // which the program's event loop gives every dialog.
    bool Create(HWND owner, int templateId);
    // Ends a modal dialog with `result`, or destroys a modeless one.
    void End(INT_PTR result);

    // Ends every modal dialog of the program with Cancel: a quit from outside must not wait for
    // the user.
    static void CancelModalDialogs();
    // How many modal dialogs of the program are open.
    static int ModalCount();

  protected:
    // WM_INITDIALOG; false when the handler set the focus itself.
    virtual bool OnInit() { return true; }
    // WM_COMMAND from a control or menu; true when handled. IDCANCEL (Esc, the close box) ends
    // the dialog unless handled.
    virtual bool OnCommand(int id, int code);
    // Any other message; a value when handled.
    virtual std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND Item(int id) const { return ::GetDlgItem(window_, id); }
    // A control's text, Windows-1252 (what Windows-1252 lacks is "?", see `lossless`).
    std::string ItemText(int id, bool* lossless = nullptr) const;
    void SetItemText(int id, const std::string& text);

  private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    bool modal_ = false;
};

// Twips (1/1440 inch) in the pixels of `window`'s monitor.
int TwipsToPixels(HWND window, int twips);
// Centres `window` on its monitor's work area.
void CentreOnScreen(HWND window);
// A message box with the program's title and an OK button; returns when it is dismissed.
// `text` is Windows-1252.
void ShowMessage(HWND owner, const std::string& text);
// The font `face` at `points` for `window`'s monitor; the caller deletes it.
HFONT MakeFont(HWND window, const wchar_t* face, double points, bool bold);
// Adds an entry (Windows-1252) to a combo box's list.
void AddListItem(HWND combo, const std::string& text);

}  // namespace reradav
