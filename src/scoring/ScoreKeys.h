#pragma once

#include <QString>

// The score text and zero count after one score key (-1 Clear, 0 to 9, 10 for ten) by the
// entry rules; the keying state itself is restored by ApplyScoreKey.
struct ScoreKeyResult {
    QString text;
    int zeroPressCount;
};
ScoreKeyResult ApplyScoreKeyRules(const QString &text, int zeroPressCount, int key);
