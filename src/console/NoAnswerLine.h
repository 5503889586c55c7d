#pragma once
#include <QString>

// The words the window and the command line share for an answer that did not come, or came
// broken. A window writes a sentence ("No answer from ... ."), the command line a line on
// standard error in lower case without a full stop. The server is "host:port" as the admin
// sees it; the command is the admin's own text, made printable by the caller.
enum class LineCase { Window, Terminal };

// A request that had no answer. A command with an effect: "no answer from 127.0.0.1:27960 to
// `say x`: it may or may not have run" (the request may have arrived and only its answer been
// lost). A read, which was asked again: "no answer from 127.0.0.1:27960 to `status` after
// 3 tries".
QString NoAnswerLine(const QString& server, const QString& command, bool read, int tries, LineCase lineCase);

// An answer whose shape shows a part missing: "the answer came incomplete: a datagram was
// lost on the way".
QString IncompleteAnswerLine(LineCase lineCase);

// An answer that went on past the exchange's limits and was cut there: "the answer was cut
// at 4 MB: the server sent more" when it reached `maxBytes`, else "the answer was cut after
// 30 seconds: the server kept sending".
QString CutAnswerLine(bool atMaxBytes, qint64 maxBytes, int maxMs, LineCase lineCase);
