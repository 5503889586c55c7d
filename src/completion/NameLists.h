#pragma once
#include <QString>
#include <QStringList>

// The command and variable names the command box offers, and where they are read from.
struct NameLists {
    QStringList commands;
    QStringList variables;
};

// The names that start the entry lines of a reference list (commands.txt, variables.txt):
// a line that begins with a name, then perhaps its arguments in <>, [] or (), then " - " and
// the description. Titles, notes and examples are not entries.
QStringList ReadReferenceList(const QString& text);

// At most this many names of each kind are read from a server or a file.
constexpr int MaxNamesOfEachKind = 20000;

// The server's answer to "cmdlist" (every datagram's text, in order, joined): one name a
// line, then a count line ("59 commands"). Lines that are no name (game log lines that the
// server printed meanwhile) are left out. At most MaxNamesOfEachKind; *more is set when
// the answer held others. Both readers take time in proportion to the answer's length.
QStringList ReadCommandList(const QString& reply, bool* more = nullptr);

// The answer to "cvarlist": a line per variable, flag letters, the name and the value in
// quotes (`S   A    g_lms_mode "0"`), then the count lines ("281 total cvars").
QStringList ReadVariableList(const QString& reply, bool* more = nullptr);

// The lists sorted alphabetically without regard to letter case, each name once (letter
// case not counting either), and no variable that is also a command. In n log n time.
NameLists Tidy(NameLists names);

// The names of the list that begin with the prefix, letter case not counting, in list order.
QStringList NamesStartingWith(const QStringList& names, const QString& prefix);

// The word that the text before the caret is typing, and the names it may complete to.
struct WordToComplete {
    enum Kind {
        None,               // nothing to complete here
        CommandOrVariable,  // the first word
        Variable,           // the second word after set, seta, sets, setu, reset, toggle, unset
    };
    Kind kind = None;
    int start = 0;   // where the word begins in the text
    QString prefix;  // what of it is typed
};
WordToComplete FindWordToComplete(const QString& textBeforeCaret);

// What the popup offers for that word: commands first, then variables.
QStringList NamesOffered(const NameLists& tidyNames, const WordToComplete& word);

// The names kept for one server, as stored in a file, and back. No lists when the text is
// not such a file. At most MaxNamesOfEachKind of each kind are read; `cut`: the bytes are
// only the start of a larger file, read up to the end of its last whole line.
QByteArray WriteNameFile(const NameLists& names);
bool ReadNameFile(const QByteArray& bytes, NameLists* names, bool cut = false);

// The file name, in the user's folder, of the names learned from a server: safe for any
// address (IPv6 colons, odd or many characters), the same for host names that differ only
// in letter case.
QString NameFileName(const QString& host, int port);
