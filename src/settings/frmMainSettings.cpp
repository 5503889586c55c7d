// Settings kept between runs, and the server history, of the main window.
#include "ui/frmMain.h"

#include "console/RconDatagram.h"
#include "console/UdpClient.h"
#include "settings/History.h"
#include "settings/PasswordVault.h"
#include "settings/SettingsStore.h"
#include "ui/ComboText.h"
#include "ui/MessageBox.h"
#include "ui/VbCheckBox.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTimer>

namespace {
// A stored check box value goes in through the check box, so that its own handling runs
// when the value changes. A value that is no number, or one the check box does not take
// (anything but 0, 1 and 2), leaves the check box as it is.
void restoreCheckBox(VbCheckBox* box, const QString& key)
{
    if (const std::optional<int> value = CheckBoxFromText(GetProgramSetting(key, Default::CheckBox)))
        box->setValue(*value);
}
}

void frmMain::Form_Load()
{
    // A store that cannot be read gives every key its default, so the window opens with the
    // design values; nothing here stops the window from opening.
    LoadAddrHist();
    LoadPortHist();
    SetComboText(txtAddr, GetProgramSetting(Key::ServerAddr, Default::ServerAddr));
    SetComboText(txtPort, GetProgramSetting(Key::ServerPort, Default::ServerPort));
    restoreCheckBox(ckQueryStat, Key::EnableAutoQuery);
    restoreCheckBox(ckLog, Key::EnableLogging);
    txtMinutes->setText(GetProgramSetting(Key::AutoQueryMinutes, Default::AutoQueryMinutes));
    restoreCheckBox(ckSavePwd, Key::SavePassword);
    txtPassword->setText(GetProgramSetting(Key::Password, Default::Password));
    // A password kept in the keyring fills the box when the keyring answers, unless one has
    // been typed by then; the window does not wait for it.
    if (!passwordVault) {
        passwordVault = new PasswordVault(this);
        connect(passwordVault, &PasswordVault::found, this, [this](const QString& password) {
            if (!savedPasswordFor.isEmpty()) {
                if (!ownPasswordTyped)
                    ownPassword = password;  // the box shows a saved server's password meanwhile
            } else if (!txtPassword->isModified()) {
                txtPassword->setText(password);
            }
        });
    }
    if (ckSavePwd->value() == 1)
        passwordVault->restore(txtPassword->text());
    SetComboText(cboMinsSecs, GetProgramSetting(Key::TimeInterval, Default::TimeInterval));
    // Only a stored "0" turns colours off; anything else keeps the default.
    mnuViewShowColours->setChecked(CheckBoxFromText(GetProgramSetting(Key::ShowColours, Default::ShowColours)) != 0);
    // The first automatic query comes a full interval after the start, whatever the restored
    // interval preset.
    TickCounter = 0;
}

void frmMain::Form_QueryUnload()
{
    // Said once, before the close begins (after it, no box opens), and only when the file is
    // about to take a password it does not hold already.
    if (passwordVault && passwordVault->goesToFile(ckSavePwd->value() == 1, OwnPassword())) {
        MessageBox::show(this,
            QStringLiteral("No keyring service was found, so the saved rcon password goes into the settings file, "
                           "readable by you alone.  Uncheck Save Password to keep it out of that file."),
            QStringLiteral("Save Password"), QMessageBox::Ok, QMessageBox::Information);
    }
}

void frmMain::Form_Unload()
{
    // Each value is saved on its own: one that cannot be saved is lost alone.
    udpClient->close();
    tmrMain->stop();  // no automatic query while the close waits on the keyring
    EndReply();  // a reply still arriving gets its record end in the log
    // The program's other windows (Players, Maps, Bans) go first: their refreshes stop, and
    // Players saves its place and columns.
    for (QWidget* window : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (window->isWindow())
            window->hide();
    }
    SaveProgramSetting(Key::ServerAddr, TrimSpaces(txtAddr->currentText()));
    // The port box goes under its own key: the port restored at start is the last one sent.
    SaveProgramSetting(Key::ServerAddrPort, TrimSpaces(txtPort->currentText()));
    SaveProgramSetting(Key::Path, QCoreApplication::applicationFilePath());
    SaveProgramSetting(Key::AutoQueryMinutes, txtMinutes->text());
    SaveProgramSetting(Key::EnableAutoQuery, CheckBoxText(ckQueryStat->value()));
    SaveProgramSetting(Key::EnableLogging, CheckBoxText(ckLog->value()));
    SaveProgramSetting(Key::SavePassword, CheckBoxText(ckSavePwd->value()));
    SaveProgramSetting(Key::TimeInterval, cboMinsSecs->currentText());
    // A password saved in an earlier run is wiped unless saving it is still wanted. The
    // keyring has the password already when the server accepted it; a write still due is
    // waited for with the window out of sight, and a keyring that is slow or asks the user
    // never sends the password into the file.
    const std::optional<QString> kept = passwordVault->store(ckSavePwd->value() == 1, OwnPassword(), [this] { hide(); });
    if (kept)
        SaveProgramSetting(Key::Password, *kept);
    SaveProgramSetting(Key::ShowColours, mnuViewShowColours->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmMain::LoadAddrHist()
{
    txtAddr->addItems(LoadHistory(AddressHistory()));
}

void frmMain::LoadPortHist()
{
    txtPort->addItems(LoadHistory(PortHistory()));
}

void frmMain::AddAddrHist(const QString& address)
{
    if (IsInHistory(AddressHistory(), address))
        return;
    txtAddr->addItem(address);
    StoreInHistory(AddressHistory(), address, When::Soon);  // Send does not wait for the disk
}

void frmMain::AddPortHist(const QString& port)
{
    if (IsInHistory(PortHistory(), port))
        return;
    txtPort->addItem(port);
    StoreInHistory(PortHistory(), port, When::Soon);
}

void frmMain::cmdClearHist_Click()
{
    const QMessageBox::StandardButton answer = MessageBox::show(this,
        QStringLiteral("This will clear all queried servers from history.  Continue?"), QStringLiteral("Clear Query History"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Question, QMessageBox::Yes);
    if (answer != QMessageBox::Yes)
        return;

    // Every clearing write is tried, even after one has been refused, so that as little as
    // possible is left behind.
    bool cleared = ClearHistory(AddressHistory());
    cleared = ClearHistory(PortHistory()) && cleared;
    cleared = SaveProgramSetting(Key::ServerAddr, QString()) && cleared;
    cleared = SaveProgramSetting(Key::Port, QString()) && cleared;

    txtAddr->clear();
    txtAddr->clearEditText();
    txtPort->clear();
    txtPort->clearEditText();

    // The user asked for the history to be gone: when the settings file refused to let go
    // of it, say so rather than let it come back unannounced at the next start.
    if (!cleared)
        MessageBox::show(this, QStringLiteral("The server history could not be cleared in the settings file."), QString(),
            QMessageBox::Ok, QMessageBox::Warning);
}

void frmMain::PasswordAnswered(const QString& sentPassword, const QString& firstDatagram)
{
    // Only the password of the boxes is saved, and only one the server did not refuse; a saved
    // server's own password stays in that server's entry alone.
    if (ckSavePwd->value() != 1 || sentPassword != TrimSpaces(txtPassword->text())
        || IsPasswordRefusal(firstDatagram) || !savedPasswordFor.isEmpty())
        return;
    passwordVault->remember(txtPassword->text());
}
