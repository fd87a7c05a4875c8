#pragma once

#include <QList>
#include <QString>

// The confirmation panel's fixed titles.
inline const QString kScoreConfirmationTitle = QStringLiteral("Score Confirmation");
inline const QString kReceivedTitle = QStringLiteral("Received - Thank You");

// What the scoring page shows and what it has sent, in one place: the score text, the
// confirmation panel (shown, its colour, its title, the big digits), the enabled buttons, and
// which "SD" messages went out on the current link for which showing of the panel. The screens
// render it and never hold a state of their own; the actions change it and say what to send.
//
// Three rules keep what the judge sees, what is sent and what is acknowledged in step:
// - Accept sends the score text, which the panel always shows while it is up: a score set by
//   the server ("FS") that differs from it takes the page back to keying first.
// - A "TX" turns the panel green only when it answers an "SD" of the score on the panel, sent on
//   this link since the panel was put up by the Send action. The server answers the "SD"
//   messages in order, so each "TX" answers the oldest "SD" not yet answered; one that answers
//   an earlier score (or anything else) leaves the panel as it is.
// - The Send action puts the panel up red and titled "Score Confirmation".
//
// Main thread only; Qt Core only.
class ScoringModel
{
public:
    enum class Stage { Keying, Awaiting, Acknowledged };

    // The most "SD" messages kept waiting for their "TX"; past it the oldest is forgotten.
    static constexpr int kMaxUnanswered = 256;

    // --- What the screens show ---
    const QString &score() const { return score_; }  // ScoreEdit, the score text
    int zeroPressCount() const { return zeroPressCount_; }
    bool panelShown() const { return panelShown_; }
    bool keypadShown() const { return !panelShown_; }
    // The panel's colour: green once this showing's score was acknowledged, red otherwise.
    // Hiding the panel keeps it.
    bool acknowledged() const { return acknowledged_; }
    const QString &title() const { return title_; }
    const QString &bigDigits() const { return bigDigits_; }
    bool sendEnabled() const { return sendEnabled_; }
    bool confirmButtonsEnabled() const { return !endOfEvent_; }  // Accept and Cancel
    bool homeOnPanel() const { return endOfEvent_; }
    bool endOfEvent() const { return endOfEvent_; }
    Stage stage() const;
    int unansweredCount() const { return int(unanswered_.size()); }

    // --- Transitions ---
    // Back to keying: the panel hidden (its colour kept), the keypad shown, Send enabled.
    void returnToKeypad();
    // Entering the scoring screen (after a connect or the automatic reconnect).
    void enterScoringScreen() { returnToKeypad(); }
    // A score key (-1 Clear, 0 to 9, 10 for ten) by the entry rules; back to keying.
    void applyKey(int key);
    // The Send action: the panel up, red, titled "Score Confirmation", with the score text.
    void send();
    // The Accept action: the score text to send as "SD".
    QString accept() const { return score_; }
    // The Cancel action: back to keying. When the panel was green the score text becomes
    // "0.0" and that is returned, to be sent as "SD"; otherwise nothing is to be sent.
    bool cancel(QString *toSend);
    // An "SD" with this score text went out on the link.
    void scoreWritten(const QString &score);
    // A "TX" for this station.
    void acknowledge();
    // An "EI": end is whether its event name is "END OF EVENT".
    void eventInformation(bool end);
    // An "AI".
    void newAthlete();
    // An "FS" for this judge. While the panel is up, a different score takes the page back to
    // keying with it; the same score (written alike or as the same number) changes nothing.
    void finalScore(const QString &score);
    // A link opened or closed: nothing sent on it has been answered, nor will be.
    void linkChanged();
    // Whether a link that closed is shown to the judge (the lost-connection window and one
    // automatic reconnect): not when the station let it go on purpose, not away from the
    // scoring page, not once the event has ended.
    bool reportsLoss(bool onPurpose, bool scoringPageShown) const
    {
        return !onPurpose && scoringPageShown && !endOfEvent_;
    }
    // The scoring screen entered after a connect. After a lost link, a score that was waiting
    // for its acknowledgement (the red panel, accepted or not) or that could not be sent is put
    // up red again for the judge to accept; otherwise the keypad, with the score text kept.
    void reconnected(bool afterLoss, bool scoreUnsent);

    // The score text as the server (or a test) places it, without any other change.
    void setScore(const QString &score) { score_ = score; }
    void setZeroPressCount(int count) { zeroPressCount_ = count; }

    // Whether two score texts stand for the same score: the same text, or the same number
    // ("6.50" and "6.5").
    static bool sameScore(const QString &a, const QString &b);

private:
    struct Sent {
        quint64 showing;  // the showing of the panel it was sent for
        QString score;
    };

    QString score_ = QStringLiteral("0.0");
    int zeroPressCount_ = 0;
    bool panelShown_ = false;
    bool acknowledged_ = false;
    QString title_ = kScoreConfirmationTitle;
    QString bigDigits_ = QStringLiteral("0.0");
    bool sendEnabled_ = true;
    bool endOfEvent_ = false;
    quint64 showing_ = 0;  // counts the Send actions
    QList<Sent> unanswered_;
};
