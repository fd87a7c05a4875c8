#pragma once

#include <QByteArray>

class TMainForm;

// Logs one received message (with its EOT), takes it apart and dispatches it.
void ReceiveConsoleText(TMainForm &form, const QByteArray &text);

// The chat send of ButtonSendMessage.
void ButtonSendMessageClick(TMainForm &form);
