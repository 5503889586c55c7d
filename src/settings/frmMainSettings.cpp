// Settings kept between runs, and the server history, of the main window.
#include "ui/frmMain.h"

#include "console/UdpClient.h"

void frmMain::Form_Load()
{
    TickCounter = 0;
}

void frmMain::Form_Unload()
{
    udpClient->close();
}

void frmMain::LoadAddrHist()
{
}

void frmMain::LoadPortHist()
{
}

void frmMain::AddAddrHist(const QString& /*address*/)
{
}

void frmMain::AddPortHist(const QString& /*port*/)
{
}

void frmMain::cmdClearHist_Click()
{
}
