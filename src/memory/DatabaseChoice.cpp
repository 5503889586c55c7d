#include "memory/DatabaseChoice.h"

#include "console/ServerPasswords.h"
#include "settings/SettingsStore.h"

#include <QEventLoop>
#include <QSqlError>

namespace Memory {

QSqlDatabase TeamConnection(const DatabaseTarget& target, const QString& password, const QString& name)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(target.host);
    db.setPort(target.port);
    db.setDatabaseName(target.database);
    db.setUserName(target.user);
    if (!password.isEmpty())
        db.setPassword(password);
    QString options = QStringLiteral("connect_timeout=5;application_name=telmorax");
    const QString asked = qEnvironmentVariable("PGSSLMODE");
    const bool stricter = asked == QLatin1String("verify-ca") || asked == QLatin1String("verify-full");
    if (target.tlsOff)
        options += QStringLiteral(";sslmode=disable");
    else if (target.tlsRequired() && !stricter)
        options += QStringLiteral(";sslmode=require");
    db.setConnectOptions(options);
    return db;
}

void ReadDatabasePassword(const DatabaseTarget& target, QObject* context, std::function<void(const QString&)> then)
{
    auto* passwords = new ServerPasswords(context);
    passwords->readEntry(target.keyringKey(), context, [passwords, then](const QString& password) {
        passwords->deleteLater();
        then(password);
    });
}

QString DatabasePasswordNow(const DatabaseTarget& target)
{
    QEventLoop loop;
    QString found;
    bool answered = false;
    ReadDatabasePassword(target, &loop, [&](const QString& password) {
        found = password;
        answered = true;
        loop.quit();
    });
    if (!answered)
        loop.exec();
    return found;
}

void SaveDatabaseChoice(const DatabaseTarget& target, const QString& password, QObject* context, std::function<void(bool)> then)
{
    SaveProgramSetting(Key::TeamDatabase, target.url());
    if (!target.team || password.isEmpty()) {
        then(true);
        return;
    }
    auto* passwords = new ServerPasswords(context);
    passwords->writeEntry(target.keyringKey(), password, context, [passwords, then](bool kept) {
        passwords->deleteLater();
        then(kept);
    });
}

QString TestDatabaseConnection(const DatabaseTarget& target, const QString& password)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return QStringLiteral("Qt's PostgreSQL driver is not installed (Debian's package libqt6sql6-psql).");
    static int tries = 0;
    const QString name = QStringLiteral("telmorax-test-connection-%1").arg(++tries);
    QString problem;
    {
        QSqlDatabase db = TeamConnection(target, password, name);
        if (!db.open()) {
            problem = db.lastError().text().simplified();
            if (problem.isEmpty())
                problem = QStringLiteral("The database server did not let the program in.");
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return problem;
}

}
