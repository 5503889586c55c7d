// The automatic status query of the main window: the interval control and the timed query.
#include "ui/frmMain.h"

#include <QLineEdit>
#include <QPalette>

void frmMain::ckQueryStat_Click()
{
}

void frmMain::EnableTextBox(QLineEdit* box, bool enable)
{
    QPalette p = box->palette();
    if (enable) {
        p.setColor(QPalette::Base, p.color(QPalette::Active, QPalette::Base));
        p.setColor(QPalette::Text, p.color(QPalette::Active, QPalette::Text));
    } else {
        p.setColor(QPalette::Base, p.color(QPalette::Active, QPalette::Button));
        p.setColor(QPalette::Text, p.color(QPalette::Active, QPalette::Dark));
    }
    box->setPalette(p);
    box->setEnabled(enable);
}

void frmMain::cboMinsSecs_Click()
{
}

void frmMain::cboMinsSecs_Change()
{
}

void frmMain::txtMinutes_Change()
{
}

void frmMain::tmrMain_Timer()
{
}

void frmMain::GetStatus()
{
}
