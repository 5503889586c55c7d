#include "cli/ExitStatus.h"

int ExitStatus::OfAnswer(const QString& firstDatagram)
{
    // The server runs nothing then, and says only this.
    const QString text = firstDatagram.trimmed();
    if (text == QLatin1String("Bad rconpassword.") || text == QLatin1String("No rconpassword set on the server."))
        return BadPassword;
    return Answered;
}
