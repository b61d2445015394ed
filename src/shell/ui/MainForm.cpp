#include "shell/ui/MainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontDatabase>
#include <QIcon>
#include <QMenu>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <iostream>
#include <utility>

#include "common/DisplayText.h"
#include "common/ui/Windows1252.h"
#include "lock/ui/Form1.h"
#include "lock/ui/Form2.h"
#include "serial/linux/SerialDevices.h"
#include "shell/SettingsStore.h"
#include "shell/ui/Help.h"
#include "shell/ui/frmAbout.h"
#include "ui_MainForm.h"

namespace reradav {
namespace {

Qt::CheckState CheckState(std::int16_t value) {
    return value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

}  // namespace

QString DisplayText(const std::string& bytes) {
    return QString::fromStdU16String(DisplayCharacters(bytes));
}

MainForm::MainForm(Beeper& beeper, MessageBoxes& messages,
                   std::unique_ptr<KeyboardPlatform> keyboard, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::MainForm>()), messages_(messages) {
    ui_->setupUi(this);
    setWindowIcon(QIcon(":/reradav.svg"));
    const QFont terminal = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    ui_->Display->setFont(terminal);
    ui_->Text1->setFont(terminal);

    engine_ =
        std::make_unique<Engine>(settings_, devices_, *this, *this, beeper, std::move(keyboard));
    if (!engine_->KeyboardProblem().empty()) {
        ui_->KeyboardStatus->setText(QString::fromStdString(engine_->KeyboardProblem()) +
                                     " Reads are still shown above.");
        ui_->KeyboardStatus->setVisible(true);
    }

    // A user's choice, even of the entry already chosen: that tries a closed port again.
    connect(ui_->Combo1, &QComboBox::activated, this, [this](int index) {
        if (index != settings_.ComPort || !engine_->Serial().PortOpen()) {
            engine_->Port().SelectPort(static_cast<std::int16_t>(index));
        }
    });
    connect(ui_->BeepOnInput, &QCheckBox::stateChanged, this, [this] { BeepOnInput_Click(); });
    connect(ui_->FileExit, &QAction::triggered, this, &QWidget::close);
    connect(ui_->MSettings, &QAction::triggered, this, [this] {
        if (onPortSettings) {
            onPortSettings();
        }
    });
    connect(ui_->mPassword, &QAction::triggered, this, &MainForm::mPassword_Click);
    connect(ui_->HelpIndex, &QAction::triggered, this, &MainForm::HelpIndex_Click);
    connect(ui_->HelpAbout, &QAction::triggered, this, &MainForm::HelpAbout_Click);
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, &MainForm::HelpIndex_Click);

    mnuPopup_ = new QMenu("Popup", this);
    mnuPopup_->setObjectName("mnuPopup");
    QAction* open = mnuPopup_->addAction("Open Reradav");
    open->setObjectName("mnuOpen");
    QAction* about = mnuPopup_->addAction("About Reradav");
    about->setObjectName("mnuAbout");
    mnuPopup_->setDefaultAction(about);
    connect(open, &QAction::triggered, this, [this] { restoreCheck_->mnuOpen_Click(); });
    connect(about, &QAction::triggered, this, &MainForm::HelpAbout_Click);

    restoreCheck_ = std::make_unique<RestoreCheck>(*this, settings_, minimisedFlag_);
    // The port list is filled by Form_Load, once the settings have named the devices.
}

MainForm::~MainForm() = default;

std::string MainForm::Form_Load(const std::filesystem::path& settingsFile,
                                const std::string& commandLine) {
    settingsFile_ = settingsFile;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ui_->Text1->setText(DisplayText("(\r)"));
    SetCaption("Reradav (Inactive)");
    frmAbout splash(SettingsFileText(), origin_, KeyboardText(), frmAbout::Mode::Splash);
    splash.show();
    // Painted before the slow part of start-up, which paints nothing: the window system maps it
    // when it gets round to it, so that is waited for (not for long), then it is painted at once.
    QElapsedTimer waited;
    waited.start();
    while (splash.windowHandle() != nullptr && !splash.windowHandle()->isExposed() &&
           waited.elapsed() < 1000) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(5);
    }
    splash.repaint();

    for (const char* postamble : kPostambleChoices) {
        ui_->TermKeyCombo->addItem(postamble);
    }
    for (const char* sound : kSoundChoices) {
        ui_->cboSound->addItem(sound);
    }
    ui_->cboSound->setCurrentIndex(-1);
    // Its place is kept while it is hidden: ticking the beep box does not widen the window.
    QSizePolicy keepPlace = ui_->cboSound->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    ui_->cboSound->setSizePolicy(keepPlace);
    ui_->TermKeyCombo->setCurrentIndex(-1);
    StartFromDefaults(settings_);

    // The icon comes before the settings, so that a window loaded minimised can go straight
    // to the tray.
    AddTrayIcon();
    std::string error =
        LoadSettings(settingsFile, commandLine, settings_, *this, devices_, &saved_);
    // Written now as well as at exit, so that a crash or a power cut does not lose it.
    if (CheckBoxValue(CheckBox::LoadWithWindows) == 1) {
        RegisterStartup();
    }
    RefreshPortList();
    splash.close();
    QApplication::restoreOverrideCursor();
    return error;
}

void MainForm::ShowAsLoaded() {
    if (WindowState() == kStateMinimised && HasTrayIcon()) {
        return;  // in the tray
    }
    show();
}

void MainForm::SaveBeforeExit() {
    if (!std::exchange(unloaded_, true)) {
        (void)Save();
    }
}

// Keys another editor changed meanwhile are kept, unless changed here too: that is told on
// standard error, the window's log.
std::string MainForm::Save() {
    std::string note;
    std::string error = SaveSettings(settingsFile_, settings_, *this, devices_, &saved_, &note);
    if (!note.empty()) {
        std::cerr << "reradav: settings: " << note << '\n';
    }
    return error;
}

void MainForm::OpenFromOutside() {
    restoreCheck_->mnuOpen_Click();
}

void MainForm::SaveNow() {
    const std::string error = Save();
    SetStatus("settings", error.empty() ? "" : "not saved: " + error);
}

void MainForm::Quit() {
    quitFromOutside_ = true;
    close();
}

std::string MainForm::Form_Unload() {
    unloaded_ = true;
    std::string error = Save();
    if (tray_ != nullptr) {
        tray_->hide();
    }
    return error;
}

// Under X11 the icon is made even without a tray: Qt adds it when one appears (a panel that
// starts after the program at logon) and takes it away when that one goes. Elsewhere (a
// Wayland desktop's StatusNotifier host) the watch makes it once there is a tray.
void MainForm::AddTrayIcon() {
    trayAvailable_ = QSystemTrayIcon::isSystemTrayAvailable();
    if (watch_ == nullptr) {
        watch_ = new QTimer(this);
        connect(watch_, &QTimer::timeout, this, &MainForm::WatchTray);
        watch_->start(1000);
    }
    if (tray_ != nullptr || (!trayAvailable_ && QGuiApplication::platformName() != "xcb")) {
        return;
    }
    tray_ = new QSystemTrayIcon(this);
    ShowPortInTray();
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                restoreCheck_->Form_MouseMove(
                    reason == QSystemTrayIcon::DoubleClick ? TrayEvent::DoubleClick
                    : reason == QSystemTrayIcon::Context   ? TrayEvent::ContextMenu
                                                           : TrayEvent::Other);
            });
    tray_->show();
}

// A window hidden in a tray that went away comes back, minimised to the task bar.
void MainForm::WatchTray() {
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (std::exchange(trayAvailable_, available) && !available && isHidden() &&
        WindowState() == kStateMinimised && !unloaded_) {
        showMinimized();
    }
    if (available && tray_ == nullptr) {
        AddTrayIcon();
    }
}

// Not while a modal dialog is open: hidden with the window, it would be out of reach.
bool MainForm::HasTrayIcon() const {
    return tray_ != nullptr && tray_->isVisible() && trayAvailable_ &&
           QApplication::activeModalWidget() == nullptr;
}

QString MainForm::SettingsFileText() const {
    return QString::fromLocal8Bit(settingsFile_.c_str());
}

QString MainForm::KeyboardText() const {
    return QString::fromStdString(
        engine_->KeyboardDescription().empty() ? "none" : engine_->KeyboardDescription());
}

void MainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        minimisedFlag_.was =
            (static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized) != 0;
        restoreCheck_->Form_Resize();
    }
}

void MainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    restoreCheck_->Form_Resize();
}

// ---- menus, dialogs and the tray ----

void MainForm::mPassword_Click() {
    Form1 dialog(settings_, messages_);
    if (dialog.exec() == QDialog::Accepted) {
        SaveNow();
    }
}

void MainForm::HelpIndex_Click() {
    ShowHelp({});
}

void MainForm::ShowHelp(const QString& section) {
    if (!OpenHelp(section)) {
        messages_.Show(this, "The help document Reradav.html could not be opened.");
    }
}

// From the menus the about box is modal; one left open from the tray is replaced.
void MainForm::HelpAbout_Click() {
    if (about_) {
        about_->close();
        delete about_.data();
    }
    frmAbout box(SettingsFileText(), origin_, KeyboardText());
    box.exec();
}

void MainForm::ShowAboutModeless() {
    if (!about_) {
        about_ = new frmAbout(SettingsFileText(), origin_, KeyboardText());
        about_->setAttribute(Qt::WA_DeleteOnClose);
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void MainForm::ShowTrayMenu() {
    mnuPopup_->popup(QCursor::pos());
}

void MainForm::BringToFront() {
    raise();
    activateWindow();
}

std::string MainForm::AskPassword() {
    return Form2::Ask();
}

void MainForm::ShowInvalidPassword() {
    messages_.Show(nullptr, kInvalidPassword);
}

void MainForm::closeEvent(QCloseEvent* event) {
    if (unloaded_) {
        event->accept();
        return;
    }
    // No new read may start; one being typed finishes its key string first.
    engine_->StopReading();
    if (engine_->Typing()) {
        event->ignore();
        engine_->AfterTyping([this] { close(); });
        return;
    }
    const std::string error = Form_Unload();
    const QString message = "The settings could not be saved.\n" + FromWindows1252(error);
    if (!error.empty() && quitFromOutside_) {
        std::fprintf(stderr, "reradav: %s\n", qPrintable(message));
    } else if (!error.empty()) {
        messages_.Show(this, message);
    }
    event->accept();
    QApplication::quit();
}

void MainForm::RefreshPortList() {
    for (int port = ComDevices::firstPort; port <= ComDevices::lastPort; ++port) {
        const std::string device = devices_.DeviceFor(port);
        const std::string stable = StableNameFor(device);
        const QString whole = QString::fromLocal8Bit(
            (stable.empty() ? device : device + " (" + stable + ")").c_str());
        // Shortened in the middle to the width of the built-in names, so that a by-id name does
        // not widen the window; whole in the entry's tool tip.
        const QFontMetrics metrics = ui_->Combo1->fontMetrics();
        ui_->Combo1->setItemText(
            port, QString("COM%1 \u2014 %2")
                      .arg(port)
                      .arg(metrics.elidedText(whole, Qt::ElideMiddle,
                                              metrics.horizontalAdvance("/dev/ttyUSB10"))));
        ui_->Combo1->setItemData(port, whole, Qt::ToolTipRole);
    }
}

// ---- the window ----

bool MainForm::IsActiveWindow() const {
    return isActiveWindow();
}
void MainForm::SetDisplay(const std::string& text) {
    ui_->Display->setText(DisplayText(text));
}
void MainForm::SetCaption(const std::string& caption) {
    setWindowTitle(FromWindows1252(caption));
    ShowPortInTray();
    SetStatus("port state", PortControl::CaptionStatus(caption));
}

// The tray carries the caption's state, and a grey icon while the port is not open: a scanner
// unplugged while the window is hidden shows there.
void MainForm::ShowPortInTray() {
    if (tray_ == nullptr) {
        return;
    }
    tray_->setToolTip(windowTitle());
    const QIcon icon(":/reradav.svg");
    tray_->setIcon(
        engine_->Serial().PortOpen() ? icon : QIcon(icon.pixmap(QSize(64, 64), QIcon::Disabled)));
}
// Shown under the display until a read is typed whole.
void MainForm::SetStatus(const std::string& subject, const std::string& text) {
    statusLine_.Set(subject, text);
    QStringList shown;
    for (const std::string& sentence : statusLine_.Sentences()) {
        shown << FromWindows1252(sentence);
    }
    ui_->KeyboardStatus->setText(shown.join('\n'));
    ui_->KeyboardStatus->setVisible(!shown.isEmpty());
}

// ---- settings held by controls ----

QCheckBox* MainForm::Box(CheckBox box) const {
    switch (box) {
        case CheckBox::BeepOnInput:
            return ui_->BeepOnInput;
        case CheckBox::LoadWithWindows:
            return ui_->LoadWithWindows;
        case CheckBox::RemoveCRs:
            return ui_->RemoveCRs;
        case CheckBox::NumFilter:
            return ui_->NumFilter;
        case CheckBox::IgnoreDups:
            break;
    }
    return ui_->IgnoreDups;
}

std::int16_t MainForm::CheckBoxValue(CheckBox box) const {
    switch (Box(box)->checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
    }
}

void MainForm::SetCheckBoxValue(CheckBox box, std::int16_t value) {
    QCheckBox* check = Box(box);
    check->setTristate(value == 2 || check->isTristate());
    check->setCheckState(CheckState(value));
}

void MainForm::RunBeepOnInputClick() {
    BeepOnInput_Click();
}

void MainForm::BeepOnInput_Click() {
    ui_->cboSound->setVisible(BeepOnInput() != 0);
}

std::int16_t MainForm::CboSoundListIndex() const {
    return static_cast<std::int16_t>(ui_->cboSound->currentIndex());
}
void MainForm::SetCboSoundListIndex(std::int16_t index) {
    ui_->cboSound->setCurrentIndex(index);
}

std::int16_t MainForm::Combo1ListIndex() const {
    return static_cast<std::int16_t>(ui_->Combo1->currentIndex());
}
void MainForm::SetCombo1ListIndex(std::int16_t index) {
    if (index != ui_->Combo1->currentIndex()) {
        ui_->Combo1->setCurrentIndex(index);
        engine_->Port().SelectPort(index);
    }
}

std::string MainForm::TermKeyComboText() const {
    return ToWindows1252(ui_->TermKeyCombo->currentText());
}
void MainForm::SetTermKeyComboText(const std::string& text) {
    ui_->TermKeyCombo->setEditText(FromWindows1252(text));
}

std::int16_t MainForm::WindowState() const {
    const Qt::WindowStates state = windowState();
    return state & Qt::WindowMinimized ? 1 : state & Qt::WindowMaximized ? 2 : 0;
}

void MainForm::SetWindowState(std::int16_t state) {
    setWindowState(state == kStateMinimised ? Qt::WindowMinimized
                   : state == 2             ? Qt::WindowMaximized
                                            : Qt::WindowNoState);
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
