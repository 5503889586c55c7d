#include "players/StatusTable.h"

#include <QRegularExpression>

namespace {
constexpr int MaxClients = 64;

bool readInt(const QString& text, int* value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (ok)
        *value = v;
    return ok;
}

// One whitespace-separated word of a row and where it stands.
struct Word {
    int start;
    int end;
    QString text;
};

// The server pads with spaces; any other character may be part of a name.
bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QVector<Word> words(const QString& line)
{
    QVector<Word> out;
    int i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line.at(i)))
            ++i;
        const int start = i;
        while (i < line.size() && !isBlank(line.at(i)))
            ++i;
        if (i > start)
            out.append({start, i, line.mid(start, i - start)});
    }
    return out;
}

// The column header: the client number first, then among the rest one name, a ping and an
// address column.
bool isHeader(const QStringList& columns)
{
    return !columns.isEmpty() && (columns.first() == QLatin1String("cl") || columns.first() == QLatin1String("num"))
        && columns.count(QStringLiteral("name")) == 1 && columns.count(QStringLiteral("ping")) == 1
        && columns.count(QStringLiteral("address")) == 1;
}

bool isRule(const QString& line)
{
    static const QRegularExpression rule(QStringLiteral("^[ \\t-]*-[ \\t-]*$"));
    return rule.match(line).hasMatch();
}

// Fills one column of `row` from its word; false when the word is not what the column holds.
bool readColumn(const QString& column, QString word, PlayerRow* row)
{
    if (column == QLatin1String("cl") || column == QLatin1String("num"))
        return readInt(word, &row->client) && row->client >= 0 && row->client < MaxClients;
    if (column == QLatin1String("score"))
        return readInt(word, &row->score);
    if (column == QLatin1String("ping")) {
        row->pingText = word;
        if (row->isConnecting() || row->isLeaving())
            return true;
        return readInt(word, &row->ping) && row->ping >= 0;
    }
    if (column == QLatin1String("address")) {
        // The server resets the colour just before the address ("^7bot"); that is not part of it.
        static const QRegularExpression codes(QStringLiteral("^(\\^[0-9A-Za-z])+"));
        row->address = word.remove(codes);
        return !row->address.isEmpty();
    }
    if (column == QLatin1String("rate"))
        return readInt(word, &row->rate);
    if (column == QLatin1String("lastmsg"))
        return readInt(word, &row->lastMsg);
    if (column == QLatin1String("qport"))
        return readInt(word, &row->qport);
    return true;  // a column this program does not show
}

bool readRow(const QString& line, const QStringList& columns, int nameColumn, PlayerRow* row)
{
    const QVector<Word> w = words(line);
    const int before = nameColumn;
    const int after = columns.size() - nameColumn - 1;
    // A client on its way out may have no name left: its row has one word fewer.
    const bool named = w.size() > before + after;
    if (w.size() < before + after)
        return false;
    for (int i = 0; i < before; ++i) {
        if (!readColumn(columns.at(i), w.at(i).text, row))
            return false;
    }
    for (int i = 0; i < after; ++i) {
        if (!readColumn(columns.at(nameColumn + 1 + i), w.at(w.size() - after + i).text, row))
            return false;
    }
    if (named) {
        const int nameStart = w.at(before).start;
        const int nameEnd = w.at(w.size() - after - 1).end;
        row->name = line.mid(nameStart, nameEnd - nameStart);
    }
    return row->client >= 0 && (named || row->isLeaving());
}
}

QString StatusReplyText(const QList<QByteArray>& datagrams)
{
    QString text;
    for (const QByteArray& d : datagrams)
        text += QString::fromLatin1(d.mid(d.indexOf('\n') + 1));
    return text;
}

StatusTable ReadStatusTable(const QString& text)
{
    StatusTable table;
    QStringList lines = text.split(QLatin1Char('\n'));
    int nameColumn = -1;
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!table.found) {
            if (line.startsWith(QLatin1String("map:")) && table.map.isEmpty()) {
                table.map = line.mid(4).trimmed();
                continue;
            }
            QStringList columns;
            for (const Word& w : words(line))
                columns.append(w.text);
            if (isHeader(columns)) {
                table.found = true;
                table.columns = columns;
                nameColumn = columns.indexOf(QStringLiteral("name"));
            }
            continue;
        }
        if (line.trimmed().isEmpty()) {
            if (!table.rows.isEmpty() || table.skipped > 0)
                break;  // the blank line after the rows
            continue;
        }
        if (isRule(line))
            continue;
        PlayerRow row;
        if (readRow(line, table.columns, nameColumn, &row))
            table.rows.append(row);
        else
            ++table.skipped;
    }
    return table;
}
