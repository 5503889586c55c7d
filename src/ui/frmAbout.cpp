#include "ui/frmAbout.h"

#include "settings/ProgramInfo.h"
#include "widgets/Fonts.h"
#include "widgets/Launcher.h"
#include "widgets/MessageBox.h"
#include "ui/RegistryValue.h"
#include "ui/SysInfo.h"
#include "widgets/Twips.h"

#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

const QString frmAbout::DescriptionText = QStringLiteral(
    "Quillhaven's Vantorin allows Quake 3 Arena server admins to administer servers remotely without needing the "
    "game installed on the client machine.");
const QString frmAbout::WebSiteText = QStringLiteral("Visit www.quillhaven.example for the latest news and updates!");
const QString frmAbout::ProblemReportText = QStringLiteral("Please report problems to support@quillhaven.example");
const QString frmAbout::UnavailableText = QStringLiteral("System Information Is Unavailable At This Time");

namespace {
constexpr int ClientWidth = 5730;
constexpr int ClientHeight = 3795;

// Where the registry keeps the system information tool: first its full path, else its folder.
const QString InfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString InfoValue = QStringLiteral("PATH");
const QString LocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString LocationValue = QStringLiteral("MSINFO");
const QString InfoProgram = QStringLiteral("MSINFO32.EXE");

QFrame* panel(QWidget* parent, const char* name, const QRect& r, const QColor& colour)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    f->setFrameShape(QFrame::NoFrame);
    f->setGeometry(r);
    QPalette p = f->palette();
    p.setColor(QPalette::Window, colour);
    f->setPalette(p);
    f->setAutoFillBackground(true);
    return f;
}

// Labels draw only their text; the container's colour shows around it.
QLabel* label(QWidget* parent, const char* name, const QRect& r, Qt::Alignment align, const QFont& font,
    const QColor& colour, bool wrap)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);  // no label of the program renders markup
    l->setGeometry(r);
    l->setAlignment(align | Qt::AlignTop);
    l->setWordWrap(wrap);
    l->setFont(font);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, colour);
    l->setPalette(p);
    return l;
}
}

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
              | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QString());
    setFont(Fonts::msSansSerif(8.25));
    setFixedSize(tw(ClientWidth), tw(ClientHeight));
    createControls();
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    Form_Load();
}

void frmAbout::createControls()
{
    const QColor white(255, 255, 255);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twRect(4365, 3345, 1260, 345));
    cmdOK->setDefault(true);  // Enter; Esc closes the dialog as its cancel button would

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(twRect(3000, 3360, 1245, 345));

    // The banner is wider than the window and runs past its right edge.
    Frame1 = panel(this, "Frame1", twRect(0, 0, 6015, 615), QColor(0, 0, 192));
    lblTitle = label(Frame1, "lblTitle", twRect(0, 0, 6015, 360), Qt::AlignLeft, Fonts::msSansSerif(13.5, true), white, false);
    lblVersion = label(Frame1, "lblVersion", twRect(120, 360, 3135, 345), Qt::AlignLeft, Fonts::msSansSerif(9.75), white, false);

    Picture1 = panel(this, "Picture1", twRect(98, 720, 5535, 2535), QColor(0, 0, 0));
    lblDescription = label(Picture1, "lblDescription", twRect(240, 120, 4965, 810), Qt::AlignHCenter,
        Fonts::msSansSerif(9.75), white, true);
    lblDescription->setText(DescriptionText);
    Label1 = label(Picture1, "Label1", twRect(120, 2280, 5325, 330), Qt::AlignHCenter, Fonts::msSansSerif(8.25), white, false);
    Label1->setText(ProgramInfo::Copyright);
    Label2 = label(Picture1, "Label2", twRect(1125, 1080, 3495, 615), Qt::AlignHCenter, Fonts::msSansSerif(9.75, true),
        QColor(0, 255, 0), true);
    Label2->setText(WebSiteText);
    Label3 = label(Picture1, "Label3", twRect(240, 1800, 4965, 330), Qt::AlignHCenter, Fonts::msSansSerif(9.75), white, false);
    Label3->setText(ProblemReportText);

    setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setFocus();
}

void frmAbout::Form_Load()
{
    lblVersion->setText(QStringLiteral("[%1.%2.%3]").arg(QString::number(ProgramInfo::VersionMajor),
        QString::number(ProgramInfo::VersionMinor), QString::number(ProgramInfo::VersionRevision)));
    lblTitle->setText(ProgramInfo::ProductName);
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    QString path;
    bool found = GetKeyValue(RegistryValue::HKeyLocalMachine, InfoKey, InfoValue, path);
    if (!found) {
        QString folder;
        if (GetKeyValue(RegistryValue::HKeyLocalMachine, LocationKey, LocationValue, folder)) {
            const QString candidate = folder + QLatin1Char('/') + InfoProgram;
            if (!QFileInfo(candidate).isFile()) {
                MessageBox::show(this, UnavailableText, ProgramInfo::Title, QMessageBox::Ok, QMessageBox::NoIcon);
                return;
            }
            path = candidate;
            found = true;
        }
    }
    // No registry names a tool (on this platform there is none): offer the desktop's own.
    if (!found)
        path = SysInfo::FindProgram();

    if (path.isEmpty() || !Launcher::startProgram(path))
        MessageBox::show(this, UnavailableText, ProgramInfo::Title, QMessageBox::Ok, QMessageBox::NoIcon);
}

bool frmAbout::GetKeyValue(quint32 KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal)
{
    RegistryValue::Raw raw;
    if (!RegistryValue::Read(KeyRoot, KeyName, SubKeyRef, raw)) {
        KeyVal.clear();
        return false;
    }
    KeyVal = RegistryValue::Decode(raw.written, raw.type, KeyVal);
    return true;
}
