#pragma once

class TMainForm;

// The keypad's click handler: applies the key's tag.
void FinalScoreClick(TMainForm &form, int tag);
// The main window's key handler (it sees every key first and never marks one handled).
void FormKeyDown(TMainForm &form, int key);
