#pragma once
#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;

// What the admin chose for a ban (or, without address and duration, for a kick).
struct BanChoice {
    QString address;      // as typed: IPv4 or IPv6, perhaps with /prefix
    QString reason;       // may be empty
    qint64 durationMs = 0;  // 0: permanent
    int where = 0;        // the index of the choice of servers, when there was one
    bool fixedAddress = false;  // shown, not to be changed (the player's address on screen)
};

// Asks for a ban's address, reason and duration, and where it goes when there is a choice
// ("its server", a group, all saved servers); for a kick, only the reason. The reasons
// offered are the last few given (kept in the settings); the durations are permanent, 1 hour,
// 1 day, 1 week, 30 days, or one typed ("90m", "3d"). A duration that is not one keeps the
// dialog open with a line saying so.
class BanDialog : public QDialog {
    Q_OBJECT
public:
    enum Kind { Ban, Kick };
    BanDialog(Kind kind, const QString& title, const QString& prompt, const QStringList& where, QWidget* parent = nullptr);

    QLineEdit* txtAddress = nullptr;
    QComboBox* cboReason = nullptr;
    QComboBox* cboDuration = nullptr;
    QComboBox* cboWhere = nullptr;
    QLabel* lblProblem = nullptr;

    using Refusal = std::function<QString(const QString& address)>;
    // Shows the dialog with `choice` filled in; true, and the choice, when the admin accepts.
    // An address that `refusal` finds fault with (it says why) keeps the dialog open.
    static bool ask(Kind kind, QWidget* parent, const QString& title, const QString& prompt, const QStringList& where, BanChoice* choice,
        const Refusal& refusal = nullptr);
    // Tests: the next ask() takes this answer (nullopt: as if cancelled) without showing. With
    // message boxes recording and no answer set, the dialog is asked through them instead: an
    // address to type as MessageBox::askText, anything else as a Yes/No question; the reason
    // and duration are then those filled in (none, permanent).
    static void setNextAnswer(std::optional<BanChoice> answer);

    // The reasons offered, latest first; a reason given goes first.
    static QStringList lastReasons();
    static void rememberReason(const QString& reason);

    void accept() override;
    BanChoice choice() const;

private:
    Kind m_kind;
    Refusal m_refusal;
};
