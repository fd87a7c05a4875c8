#pragma once

#include "scoring/ScoreKeys.h"

class QKeyEvent;
struct ScoringPage;

// Virtual-key codes of the keys the station acts on.
namespace vk {
constexpr int Enter = 13;
constexpr int Escape = 27;
constexpr int F5 = 116;
constexpr int F9 = 120;
constexpr int Digit0 = 48;   // '0' ... '9' are 48 ... 57
constexpr int X = 88;
constexpr int Numpad0 = 96;  // numeric pad 0 ... 9 are 96 ... 105
} // namespace vk

// The virtual-key code of a key event, whatever modifiers are held (Shift+6 is the 6 key);
// 0 for keys the station does not use.
int virtualKeyOf(const QKeyEvent *event);

// Applies one score key to ScoreEdit and ZeroPressCount, returning the page to keying.
void ApplyScoreKey(ScoringPage &page, int key);

// The keypad's click handler: applies the key's tag.
void FinalScoreClick(ScoringPage &page, int tag);
// The main window's key handler, by virtual-key code (it sees every key first and never
// marks one handled).
void FormKeyDown(ScoringPage &page, int key);
