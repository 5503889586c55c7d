#include "console/OutputPane.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

OutputPane::OutputPane(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setFocusPolicy(Qt::StrongFocus);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

QString OutputPane::forDisplay(const QString& text)
{
    // CR LF, a lone CR and a lone LF each end a line on screen.
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out += QLatin1Char('\n');
        } else {
            out += c;
        }
    }
    return out;
}

int OutputPane::toDisplay(int textPos) const
{
    int display = 0;
    for (int i = 0; i < textPos && i < m_text.size(); ++i) {
        if (m_text.at(i) == QLatin1Char('\r') && i + 1 < m_text.size() && m_text.at(i + 1) == QLatin1Char('\n')) {
            if (i + 1 < textPos)
                ++i;  // the pair is one character on screen
        }
        ++display;
    }
    return display;
}

int OutputPane::toText(int displayPos) const
{
    int i = 0;
    for (int d = 0; d < displayPos && i < m_text.size(); ++d) {
        if (m_text.at(i) == QLatin1Char('\r') && i + 1 < m_text.size() && m_text.at(i + 1) == QLatin1Char('\n'))
            i += 2;
        else
            ++i;
    }
    return i;
}

void OutputPane::setText(const QString& text)
{
    if (text == m_text)
        return;
    const bool append = !m_text.isEmpty() && text.startsWith(m_text);
    m_lastAppended = append ? text.mid(m_text.size()) : text;
    // A CR at the old end and an LF at the new start make one line end on screen: lay out afresh.
    if (append && !(m_text.endsWith(QLatin1Char('\r')) && m_lastAppended.startsWith(QLatin1Char('\n')))) {
        // Keep the caret, the selection and the view where they are; only the new part is laid out.
        const int anchor = textCursor().anchor();
        const int position = textCursor().position();
        m_text = text;
        QTextCursor end(document());
        end.movePosition(QTextCursor::End);
        end.insertText(forDisplay(m_lastAppended));
        if (textCursor().anchor() != anchor || textCursor().position() != position) {
            QTextCursor kept(document());
            kept.setPosition(anchor);
            kept.setPosition(position, QTextCursor::KeepAnchor);
            setTextCursor(kept);
        }
    } else {
        m_text = text;
        setPlainText(forDisplay(text));
    }
    emit changed();
}

int OutputPane::selStart() const
{
    return toText(textCursor().selectionStart());
}

void OutputPane::setSelStart(int position)
{
    QTextCursor c = textCursor();
    if (position >= m_text.size())
        c.movePosition(QTextCursor::End);  // the common case, without counting the whole text
    else
        c.setPosition(qBound(0, toDisplay(position), document()->characterCount() - 1));
    setTextCursor(c);
    ensureCursorVisible();
}

QString OutputPane::selText() const
{
    const QTextCursor c = textCursor();
    const int from = toText(c.selectionStart());
    const int to = toText(c.selectionEnd());
    return m_text.mid(from, to - from);
}
