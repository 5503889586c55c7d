#include "console/ServerList.h"
#include "console/ServerAddress.h"
#include "settings/OwnFiles.h"
#include "settings/UserDataFolder.h"

#include <QCollator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

const QString ServerListFileName = QStringLiteral("servers.json");

namespace {
const QString KindKey = QStringLiteral("kind");
const QString Kind = QStringLiteral("telmorax servers");
const QString VersionKey = QStringLiteral("version");
const QString ServersKey = QStringLiteral("servers");
const QString LabelKey = QStringLiteral("label");
const QString HostKey = QStringLiteral("host");
const QString PortKey = QStringLiteral("port");
const QString GroupKey = QStringLiteral("group");
// Far beyond any admin's list (500 servers take about 60 KB): anything bigger is not ours.
constexpr qint64 MaxFileBytes = 1024 * 1024;

QString filePath(const QString& name)
{
    return UserDataFolder() + QLatin1Char('/') + name;
}

// A name beside the file that nothing holds yet: servers.json.damaged, .damaged-2, ...
QString asideName()
{
    const QString base = ServerListFileName + QStringLiteral(".damaged");
    QString name = base;
    for (int n = 2; QFileInfo::exists(filePath(name)); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}
}

QString SavedServer::address() const
{
    return ServerAddressText(host, port);
}

QString SavedServer::shownLabel() const
{
    return label.trimmed().isEmpty() ? address() : label;
}

QString SavedServer::named() const
{
    return shownLabel() == address() ? address() : QStringLiteral("%1 (%2)").arg(shownLabel(), address());
}

bool SavedServer::sameServer(const QString& otherHost, int otherPort) const
{
    return port == otherPort && host.compare(otherHost, Qt::CaseInsensitive) == 0;
}

QByteArray WriteServerFile(const QList<SavedServer>& servers)
{
    QJsonArray list;
    for (const SavedServer& s : servers) {
        QJsonObject o;
        o.insert(LabelKey, s.label);
        o.insert(HostKey, s.host);
        o.insert(PortKey, s.port);
        if (!s.group.isEmpty())
            o.insert(GroupKey, s.group);
        list.append(o);
    }
    QJsonObject file;
    file.insert(KindKey, Kind);
    file.insert(VersionKey, 1);
    file.insert(ServersKey, list);
    return QJsonDocument(file).toJson(QJsonDocument::Indented);
}

bool ReadServerFile(const QByteArray& bytes, QList<SavedServer>* servers)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject file = doc.object();
    if (file.value(KindKey).toString() != Kind || file.value(VersionKey).toInt() != 1 || !file.value(ServersKey).isArray())
        return false;
    QList<SavedServer> read;
    for (const QJsonValue& v : file.value(ServersKey).toArray()) {
        const QJsonObject o = v.toObject();
        const QJsonValue port = o.value(PortKey);
        if (!v.isObject() || !o.value(HostKey).isString() || !o.value(LabelKey).isString() || !port.isDouble())
            return false;
        if (!o.value(GroupKey).isUndefined() && !o.value(GroupKey).isString())
            return false;
        SavedServer s;
        s.label = o.value(LabelKey).toString();
        s.host = o.value(HostKey).toString();
        s.group = o.value(GroupKey).toString();
        s.port = port.toInt(-1);
        if (s.host.trimmed().isEmpty() || s.port < 1 || s.port > 65535 || port.toDouble() != s.port)
            return false;
        read.append(s);
    }
    *servers = read;
    return true;
}

LoadedServerList LoadServerList()
{
    LoadedServerList loaded;
    const QString path = filePath(ServerListFileName);
    const OwnFiles::Place place = OwnFiles::Look(path, MaxFileBytes);
    if (place == OwnFiles::Place::Missing)
        return loaded;
    if (place == OwnFiles::Place::Other || !MakeUserDataFolder()) {
        // A FIFO, a link or a folder in its place, or a folder that is not the user's alone:
        // nothing is read, moved or written there.
        loaded.mayWrite = false;
        loaded.notice = QObject::tr("The list of servers in %1 is not a file of yours alone, and is left as it is. "
                                    "The list starts empty, and changes to it are not saved.")
                            .arg(path);
        return loaded;
    }
    if (place == OwnFiles::Place::Regular && ReadServerFile(ReadUserDataFile(ServerListFileName, MaxFileBytes), &loaded.servers))
        return loaded;
    loaded.servers.clear();
    const QString aside = asideName();
    if (QFile::rename(path, filePath(aside))) {
        loaded.notice = QObject::tr("The list of servers could not be read. It was kept as %1, and the list starts empty.")
                            .arg(filePath(aside));
    } else {
        loaded.mayWrite = false;
        loaded.notice = QObject::tr("The list of servers in %1 could not be read, nor moved aside. The list starts empty, "
                                    "and changes to it are not saved.")
                            .arg(path);
    }
    return loaded;
}

QList<SavedServer> PeekServerList()
{
    QList<SavedServer> servers;
    const QString path = filePath(ServerListFileName);
    if (OwnFiles::Look(path, MaxFileBytes) == OwnFiles::Place::Regular)
        ReadServerFile(ReadUserDataFile(ServerListFileName, MaxFileBytes), &servers);
    return servers;
}

bool SaveServerList(const QList<SavedServer>& servers)
{
    return WriteUserDataFile(ServerListFileName, WriteServerFile(servers));
}

QStringList ServerGroups(const QList<SavedServer>& servers)
{
    QStringList groups;
    for (const SavedServer& s : servers) {
        if (!s.group.isEmpty() && !groups.contains(s.group, Qt::CaseInsensitive))
            groups.append(s.group);
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(groups.begin(), groups.end(), collator);
    return groups;
}

QList<SavedServer> ServersOfGroup(const QList<SavedServer>& servers, const QString& group)
{
    QList<SavedServer> found;
    for (const SavedServer& s : servers) {
        if (!s.group.isEmpty() && s.group.compare(group, Qt::CaseInsensitive) == 0)
            found.append(s);
    }
    return found;
}

int IndexOfServer(const QList<SavedServer>& servers, const QString& host, int port)
{
    for (int i = 0; i < servers.size(); ++i) {
        if (servers[i].sameServer(host, port))
            return i;
    }
    return -1;
}

QString NamedServer(const QString& host, int port)
{
    const QList<SavedServer> list = PeekServerList();
    const int at = IndexOfServer(list, host, port);
    return at >= 0 ? list.at(at).named() : ServerAddressText(host, port);
}

QString NamedServers(const QList<SavedServer>& servers)
{
    constexpr int Named = 3;  // beyond these, a count
    QStringList names;
    for (int i = 0; i < servers.size() && i < Named; ++i)
        names << servers.at(i).named();
    QString text = names.join(QStringLiteral(", "));
    if (servers.size() > Named)
        text += QStringLiteral(" and %1 more").arg(servers.size() - Named);
    return text;
}
