#pragma once
#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;

// The About box: product name and version on a blue banner, a black panel with the
// description and the maker's contact lines, and a button that starts this desktop's system
// information program. A fresh box is made for every showing; it keeps nothing.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    // --- controls, in tab order; object names are the same ---
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    QFrame* Frame1 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QFrame* Picture1 = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    // Starts the system information program: the one the registry names where there is a
    // registry, else this desktop's own; otherwise says that none is available.
    void StartSysInfo();

    // Reads one registry value into keyVal (see RegistryValue::Decode for its text). False,
    // with keyVal emptied, when the key or the value cannot be read.
    bool GetKeyValue(quint32 KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal);

    static const QString DescriptionText;
    static const QString WebSiteText;
    static const QString ProblemReportText;
    static const QString UnavailableText;

private:
    void createControls();
};
