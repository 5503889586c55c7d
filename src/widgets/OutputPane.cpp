#include "widgets/OutputPane.h"

#include "console/ColourCodes.h"

#include <QScopeGuard>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QTextCursor>

#include <algorithm>

namespace {
// CR LF, a lone CR and a lone LF each end a line on screen. `afterCr`: the text shown just
// before this piece ends with a CR, so an LF at its start belongs to that line end.
//
// A line longer than the pane's widest line goes on over several lines on screen: its text
// stays one line, but laying out one line of many thousand characters again at each append
// would stall the window. `column` counts the characters of the screen line so far; `at`,
// where the piece stands in the text shown; the breaks added go into `wraps`, each as the
// position in the text shown of the character it stands before.
QString forDisplay(const QString& text, bool afterCr, int at, int& column, QVector<int>& wraps)
{
    QString out;
    out.reserve(text.size() + text.size() / OutputPane::WidestLine);
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out += QLatin1Char('\n');
            column = 0;
        } else if (c == QLatin1Char('\n')) {
            if (i > 0 || !afterCr)
                out += c;
            column = 0;
        } else {
            if (column >= OutputPane::WidestLine) {
                out += QLatin1Char('\n');
                wraps.append(at + i);
                column = 0;
            }
            // The chat separator takes its place as a character that draws as nothing, so
            // that positions on screen still match the text's.
            out += c == ColourCodes::ChatSeparator ? QChar(0x2060) : c;  // WORD JOINER
            ++column;
        }
    }
    return out;
}

QTextCharFormat formatOf(int colour)
{
    QTextCharFormat format;
    if (colour != ColourCodes::Plain)
        format.setForeground(ColourCodes::PaneColour(colour));
    return format;
}

// Draws the runs of a reading at the cursor, one insert per run; `before` is the text
// shown before the reading.
void drawRuns(QTextCursor& at, const ColourCodes::Reading& reading, const QString& before, int& column, QVector<int>& wraps)
{
    for (const ColourCodes::Run& run : reading.runs) {
        const bool afterCr = run.start > 0 ? reading.text.at(run.start - 1) == QLatin1Char('\r') : before.endsWith(QLatin1Char('\r'));
        const QString piece = forDisplay(reading.text.mid(run.start, run.length), afterCr, int(before.size()) + run.start, column, wraps);
        if (!piece.isEmpty())
            at.insertText(piece, formatOf(run.colour));
    }
}
}

OutputPane::OutputPane(QWidget* parent)
    : QPlainTextEdit(parent)
    , m_lastAppendColour(ColourCodes::Plain)
    , m_endColour(ColourCodes::Plain)
{
    setReadOnly(true);
    setFocusPolicy(Qt::StrongFocus);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

int OutputPane::rawToShown(int textPos) const
{
    if (!m_showColours)
        return textPos;
    // The codes wholly before the position; a position inside a code is where it stood.
    const int before = int(std::upper_bound(m_codes.begin(), m_codes.end(), textPos - 2) - m_codes.begin());
    if (before < m_codes.size() && m_codes.at(before) < textPos)
        textPos = m_codes.at(before);
    return textPos - 2 * before;
}

int OutputPane::shownToRaw(int shownPos) const
{
    if (!m_showColours)
        return shownPos;
    // Codes just before a shown character count as before it: the caret goes after them.
    int lo = 0;
    int hi = m_codes.size();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (m_codes.at(mid) - 2 * mid <= shownPos)
            lo = mid + 1;
        else
            hi = mid;
    }
    return shownPos + 2 * lo;
}

int OutputPane::shownToDisplay(int shownPos) const
{
    const QString& s = shown();
    int display = 0;
    int w = 0;
    for (int i = 0; i < shownPos && i < s.size(); ++i) {
        for (; w < m_wraps.size() && m_wraps.at(w) <= i; ++w)
            ++display;  // a break on screen only, before this character
        if (s.at(i) == QLatin1Char('\r') && i + 1 < s.size() && s.at(i + 1) == QLatin1Char('\n')) {
            if (i + 1 < shownPos)
                ++i;  // the pair is one character on screen
        }
        ++display;
    }
    return display;
}

int OutputPane::displayToShown(int displayPos) const
{
    const QString& s = shown();
    int i = 0;
    int w = 0;
    for (int d = 0; d < displayPos && i < s.size(); ++d) {
        if (w < m_wraps.size() && m_wraps.at(w) == i) {
            ++w;  // a break on screen only
            continue;
        }
        if (s.at(i) == QLatin1Char('\r') && i + 1 < s.size() && s.at(i + 1) == QLatin1Char('\n'))
            i += 2;
        else
            ++i;
    }
    return i;
}

void OutputPane::appendLine(const QString& line)
{
    const bool lineOpen = !m_text.isEmpty() && !m_text.endsWith(QLatin1Char('\n'));
    append((lineOpen ? QStringLiteral("\r\n") : QString()) + line + QStringLiteral("\r\n"));
}

void OutputPane::setText(const QString& text, Write write)
{
    if (text == m_text)
        return;
    // A view at the foot of the text stays there, whatever is written: the new lines show
    // whole, the last of them at the pane's lower edge. A view scrolled up to read stays put.
    QScrollBar* scroll = verticalScrollBar();
    const bool atFoot = scroll->value() == scroll->maximum();
    const auto follow = qScopeGuard([scroll, atFoot] {
        if (atFoot)
            scroll->setValue(scroll->maximum());
    });
    if (m_text.isEmpty() || !text.startsWith(m_text)) {
        // The text kept alone from the latest append keeps the colour it started in.
        const int colour = text == m_lastAppended ? m_lastAppendColour : ColourCodes::Plain;
        m_text = text;
        m_lastAppended = text;
        m_lastAppendColour = colour;
        m_segments = {Segment{0, colour}};
        redraw();
        emit changed();
        return;
    }

    const QString added = text.mid(m_text.size());
    const bool continues = write == Write::Continues;
    const int colour = continues ? m_endColour : ColourCodes::Plain;
    const ColourCodes::Reading reading = ColourCodes::Read(added, colour, continues && m_text.endsWith(QLatin1Char('^')));
    if (!continues)
        m_segments.append(Segment{int(m_text.size()), ColourCodes::Plain});
    const int codeBase = m_text.size() - (reading.tookCaret ? 1 : 0);
    for (int k = 0; k < reading.codes.size(); ++k)
        m_codes.append(codeBase + reading.codes.at(k).position + 2 * k);
    m_lastAppended = added;
    m_lastAppendColour = colour;
    m_endColour = reading.colourAtEnd;
    const bool oldEndsWithCr = shown().endsWith(QLatin1Char('\r'));
    m_text = text;

    // Keep the caret, the selection and the view where they are; only the new part is laid out.
    // The caret keeps its place by itself (placeCursor), unless something replaced it.
    const int anchor = textCursor().anchor();
    const int position = textCursor().position();
    QTextCursor end(document());
    end.beginEditBlock();  // laid out once, at its end
    end.movePosition(QTextCursor::End);
    if (reading.tookCaret) {
        m_stripped.chop(1);
        if (m_showColours)
            end.deletePreviousChar();  // the "^" shown as text is now part of a code
    }
    if (m_showColours) {
        if (reading.tookCaret)
            m_column = std::max(0, m_column - 1);
        drawRuns(end, reading, m_stripped, m_column, m_wraps);
    } else {
        end.insertText(forDisplay(added, oldEndsWithCr, int(m_text.size() - added.size()), m_column, m_wraps), QTextCharFormat());
    }
    end.endEditBlock();
    m_stripped += reading.text;
    if (textCursor().anchor() != anchor || textCursor().position() != position) {
        const int last = document()->characterCount() - 1;
        QTextCursor kept(document());
        kept.setPosition(std::min(anchor, last));
        kept.setPosition(std::min(position, last), QTextCursor::KeepAnchor);
        placeCursor(kept);
    }
    emit changed();
}

void OutputPane::redraw()
{
    // The codes are read afresh, segment by segment, each from its own colour.
    m_stripped.clear();
    m_codes.clear();
    m_wraps.clear();
    m_column = 0;
    QVector<ColourCodes::Reading> readings;
    for (int i = 0; i < m_segments.size(); ++i) {
        const int start = m_segments.at(i).start;
        const int end = i + 1 < m_segments.size() ? m_segments.at(i + 1).start : m_text.size();
        readings.append(ColourCodes::Read(m_text.mid(start, end - start), m_segments.at(i).colour));
        const ColourCodes::Reading& r = readings.last();
        for (int k = 0; k < r.codes.size(); ++k)
            m_codes.append(start + r.codes.at(k).position + 2 * k);
        m_endColour = r.colourAtEnd;
    }
    if (!m_showColours) {
        for (const ColourCodes::Reading& r : readings)
            m_stripped += r.text;
        setPlainText(forDisplay(m_text, false, 0, m_column, m_wraps));
        placeCursor(QTextCursor(document()));
        return;
    }
    setPlainText(QString());
    QTextCursor at(document());
    at.beginEditBlock();
    for (const ColourCodes::Reading& r : readings) {
        drawRuns(at, r, m_stripped, m_column, m_wraps);
        m_stripped += r.text;
    }
    at.endEditBlock();
    // The caret goes to the start once the text is in: placed there before, it would keep
    // its place while its anchor moved on with the text, and all of it would show selected.
    placeCursor(QTextCursor(document()));
}

void OutputPane::placeCursor(QTextCursor cursor)
{
    // Text inserted where the caret stands (the end) goes after it.
    cursor.setKeepPositionOnInsert(true);
    setTextCursor(cursor);
}

void OutputPane::setShowColours(bool show)
{
    if (show == m_showColours)
        return;
    const int anchor = shownToRaw(displayToShown(textCursor().anchor()));
    const int position = shownToRaw(displayToShown(textCursor().position()));
    const int scrolled = verticalScrollBar()->value();
    const bool atBottom = scrolled == verticalScrollBar()->maximum();
    m_showColours = show;
    redraw();
    QTextCursor kept(document());
    kept.setPosition(shownToDisplay(rawToShown(anchor)));
    kept.setPosition(shownToDisplay(rawToShown(position)), QTextCursor::KeepAnchor);
    placeCursor(kept);
    verticalScrollBar()->setValue(atBottom ? verticalScrollBar()->maximum() : scrolled);
}

int OutputPane::selStart() const
{
    return shownToRaw(displayToShown(textCursor().selectionStart()));
}

void OutputPane::setSelStart(int position)
{
    QTextCursor c = textCursor();
    if (position >= m_text.size())
        c.movePosition(QTextCursor::End);  // the common case, without counting the whole text
    else
        c.setPosition(qBound(0, shownToDisplay(rawToShown(position)), document()->characterCount() - 1));
    placeCursor(c);
    ensureCursorVisible();
}

QString OutputPane::selText() const
{
    const QTextCursor c = textCursor();
    const int from = displayToShown(c.selectionStart());
    const int to = displayToShown(c.selectionEnd());
    return shown().mid(from, to - from).remove(QChar(ColourCodes::ChatSeparator));
}
