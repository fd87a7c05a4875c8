#include "link/LinkMemos.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

namespace {

// The appends to one memo: immediate, or collected while deferred.
class MemoAppender : public QObject
{
public:
    explicit MemoAppender(QPlainTextEdit *memo) : QObject(memo), memo_(memo)
    {
        setObjectName(name());
        // A read-only memo needs no undo history (it would keep every removed line).
        memo->setUndoRedoEnabled(false);
    }

    static MemoAppender *of(QPlainTextEdit *memo)
    {
        if (QObject *a = memo->findChild<QObject *>(name(), Qt::FindDirectChildrenOnly))
            return static_cast<MemoAppender *>(a);
        return new MemoAppender(memo);
    }

    void append(const QString &lines)
    {
        if (deferred_ == 0) {
            add(lines);
            return;
        }
        if (!pending_.isEmpty())
            pending_ += u'\n';
        pending_ += lines;
        // Bounded however long the deferral lasts.
        if (++pendingAppends_ >= kMemoMaxLines / 8) {
            flush();
        } else if (!flushScheduled_) {
            flushScheduled_ = true;
            QTimer::singleShot(0, this, [this] { flush(); });
        }
    }

    void defer() { ++deferred_; }
    void undefer()
    {
        if (--deferred_ == 0)
            flush();
    }

    void flush()
    {
        flushScheduled_ = false;
        if (pendingAppends_ == 0)
            return;
        const QString text = std::move(pending_);
        pending_ = QString();
        pendingAppends_ = 0;
        add(text);
    }

private:
    static QString name() { return QStringLiteral("_MemoAppender"); }

    // Appends, then removes the oldest lines beyond the bound in one edit (the memo's own
    // maximum block count removes them one by one, which costs several times the append).
    void add(const QString &text)
    {
        memo_->appendPlainText(text);
        QTextDocument *doc = memo_->document();
        const int excess = doc->blockCount() - kMemoMaxLines;
        if (excess <= 0)
            return;
        QTextCursor cut(doc);
        cut.setPosition(doc->findBlockByNumber(excess).position(), QTextCursor::KeepAnchor);
        cut.removeSelectedText();
    }

    QPlainTextEdit *memo_;
    QString pending_;
    int pendingAppends_ = 0;
    int deferred_ = 0;
    bool flushScheduled_ = false;
};

} // namespace

QString CutLongLine(const QString &line)
{
    if (line.size() <= kMemoMaxLineChars)
        return line;
    return line.left(kMemoMaxLineChars)
           + QStringLiteral(" [... %1 more characters cut]").arg(line.size() - kMemoMaxLineChars);
}

void AppendMemoLine(QPlainTextEdit *memo, const QString &text)
{
    MemoAppender *appender = MemoAppender::of(memo);
    // The common case: one line, short enough.
    if (text.size() <= kMemoMaxLineChars) {
        appender->append(text);
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
    appender->append(out);
}

DeferMemoAppends::DeferMemoAppends(std::initializer_list<QPlainTextEdit *> memos)
{
    int i = 0;
    for (QPlainTextEdit *m : memos) {
        if (!m || i == int(std::size(memos_)))
            continue;
        memos_[i++] = m;
        MemoAppender::of(m)->defer();
    }
}

DeferMemoAppends::~DeferMemoAppends()
{
    for (QPlainTextEdit *m : memos_)
        if (m)
            MemoAppender::of(m)->undefer();
}

void AppendBoundedListLine(QListWidget *list, const QString &text)
{
    list->addItem(text);
    const int excess = list->count() - kConnectedClientsMaxLines;
    for (int i = 0; i < excess; ++i)
        delete list->takeItem(0);
}
