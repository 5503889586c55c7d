#pragma once
#include <QPlainTextEdit>
#include <QString>

// The output pane: a read-only transcript whose text is kept with CR LF line ends, exactly
// as written to it; the widget shows it with ordinary line breaks. Positions (caret,
// selection) count characters of that text, CR and LF one each.
class OutputPane : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit OutputPane(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    // Replaces the whole text (an append is recognised and only the new part is laid out).
    // Emits changed() when the text differs, before returning.
    void setText(const QString& text);
    // What the latest setText() added: the new part of an append, or the whole text when
    // the text was replaced by something that does not begin with the old text.
    QString lastAppended() const { return m_lastAppended; }

    int selStart() const;
    void setSelStart(int position);  // also empties the selection
    QString selText() const;

signals:
    void changed();

private:
    static QString forDisplay(const QString& text);
    int toDisplay(int textPos) const;
    int toText(int displayPos) const;

    QString m_text;
    QString m_lastAppended;
};
