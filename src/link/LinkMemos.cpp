#include "link/LinkMemos.h"

#include "screens/Unit_Main.h"

#include <QListWidget>
#include <QPlainTextEdit>

QString CutLongLine(const QString &line)
{
    if (line.size() <= kMemoMaxLineChars)
        return line;
    return line.left(kMemoMaxLineChars)
           + QStringLiteral(" [... %1 more characters cut]").arg(line.size() - kMemoMaxLineChars);
}

void AppendMemoLine(QPlainTextEdit *memo, const QString &text)
{
    if (memo->maximumBlockCount() != kMemoMaxLines)
        memo->setMaximumBlockCount(kMemoMaxLines);
    // The common case: one line, short enough.
    if (text.size() <= kMemoMaxLineChars) {
        memo->appendPlainText(text);
        return;
    }
    // Cut every line the memo would make of the text: it breaks at CR LF, LF and CR.
    QString out;
    out.reserve(text.size() < 4 * kMemoMaxLineChars ? text.size() : 4 * kMemoMaxLineChars);
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i <= n; ++i) {
        const bool end = i == n;
        const QChar c = end ? QChar() : text.at(i);
        if (!end && c != u'\n' && c != u'\r')
            continue;
        out += CutLongLine(text.mid(start, i - start));
        if (end)
            break;
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        out += u'\n';
        start = i + 1;
    }
    memo->appendPlainText(out);
}

void AddLogLine(TMainForm &form, const QByteArray &line)
{
    AppendMemoLine(form.LogFile, QString::fromLatin1(line));
}

void AddChatLine(TMainForm &form, const QByteArray &text)
{
    AppendMemoLine(form.ChatFile, QString::fromLatin1(text));
}

void AppendBoundedListLine(QListWidget *list, const QString &text)
{
    list->addItem(text);
    const int excess = list->count() - kConnectedClientsMaxLines;
    for (int i = 0; i < excess; ++i)
        delete list->takeItem(0);
}

void AddConnectedClient(TMainForm &form, const QByteArray &text)
{
    AppendBoundedListLine(form.ConnectedClients, QString::fromLatin1(text));
}
