#include "link/InboundHandlers.h"

#include "link/ConsoleMessage.h"
#include "screens/Unit_Main.h"

void ReceiveConsoleText(TMainForm &form, const QByteArray &text)
{
    form.LogFile->appendPlainText(QString::fromLatin1(RenderForLog("client:" + text)));
}

void ButtonSendMessageClick(TMainForm &) {}
