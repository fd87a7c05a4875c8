#pragma once

#include "link/LinkMemos.h"

#include <QByteArray>

class TMainForm;

// The fifteen commands the event server sends.
enum class InboundCommand { None, CC, CD, TP, CE, CM, IP, CN, CS, XX, AI, DI, PR, FS, EI, TX };

// The command for a command code, whose letters A to Z are matched without regard to case;
// None for any other code, the empty one included.
InboundCommand InboundCommandOf(const QByteArray &code);

// Logs one received message (with its EOT as its last character), takes it apart and
// dispatches it to its handler.
void ReceiveConsoleText(TMainForm &form, const QByteArray &text);

// One handler per inbound command, with the message's payload; "IP", "CN" and "CS" also get
// the sender identifier (header characters 7 to 10).
void HandleCC(TMainForm &form, const QByteArray &payload);  // a station has connected
void HandleCD(TMainForm &form, const QByteArray &payload);  // a station has left
void HandleTP(TMainForm &form, const QByteArray &payload);  // test pulse
void HandleCE(TMainForm &form, const QByteArray &payload);  // a message for the judge
void HandleCM(TMainForm &form, const QByteArray &payload);  // a chat line
void HandleIP(TMainForm &form, const QByteArray &payload, const QByteArray &sender);
void HandleCN(TMainForm &form, const QByteArray &payload, const QByteArray &sender);
void HandleCS(TMainForm &form, const QByteArray &payload, const QByteArray &sender);
void HandleXX(TMainForm &form, const QByteArray &payload);  // panel scores
void HandleAI(TMainForm &form, const QByteArray &payload);  // athlete
void HandleDI(TMainForm &form, const QByteArray &payload);  // dive
void HandlePR(TMainForm &form, const QByteArray &payload);  // scoreboard
void HandleFS(TMainForm &form, const QByteArray &payload);  // a score set by the server
void HandleEI(TMainForm &form, const QByteArray &payload);  // event
void HandleTX(TMainForm &form, const QByteArray &payload);  // score received

// The chat send of ButtonSendMessage.
void ButtonSendMessageClick(TMainForm &form);
