#include "link/InboundHandlers.h"

#include "link/ConsoleLink.h"
#include "link/ConsoleMessage.h"
#include "screens/Unit_Main.h"

namespace {

constexpr char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

constexpr int code2(char a, char b)
{
    return (int(static_cast<unsigned char>(a)) << 8) | int(static_cast<unsigned char>(b));
}

} // namespace

InboundCommand InboundCommandOf(const QByteArray &code)
{
    if (code.size() != 2)
        return InboundCommand::None;
    switch (code2(upperAscii(code[0]), upperAscii(code[1]))) {
    case code2('C', 'C'): return InboundCommand::CC;
    case code2('C', 'D'): return InboundCommand::CD;
    case code2('T', 'P'): return InboundCommand::TP;
    case code2('C', 'E'): return InboundCommand::CE;
    case code2('C', 'M'): return InboundCommand::CM;
    case code2('I', 'P'): return InboundCommand::IP;
    case code2('C', 'N'): return InboundCommand::CN;
    case code2('C', 'S'): return InboundCommand::CS;
    case code2('X', 'X'): return InboundCommand::XX;
    case code2('A', 'I'): return InboundCommand::AI;
    case code2('D', 'I'): return InboundCommand::DI;
    case code2('P', 'R'): return InboundCommand::PR;
    case code2('F', 'S'): return InboundCommand::FS;
    case code2('E', 'I'): return InboundCommand::EI;
    case code2('T', 'X'): return InboundCommand::TX;
    default: return InboundCommand::None;
    }
}

void ReceiveConsoleText(TMainForm &form, const QByteArray &text)
{
    AddLogLine(form, RenderForLog("client:" + text));
    const ConsoleText m = CutConsoleText(text);
    switch (InboundCommandOf(m.command)) {
    case InboundCommand::CC: HandleCC(form, m.payload); break;
    case InboundCommand::CD: HandleCD(form, m.payload); break;
    case InboundCommand::TP: HandleTP(form, m.payload); break;
    case InboundCommand::CE: HandleCE(form, m.payload); break;
    case InboundCommand::CM: HandleCM(form, m.payload); break;
    case InboundCommand::IP: HandleIP(form, m.payload, m.sender); break;
    case InboundCommand::CN: HandleCN(form, m.payload, m.sender); break;
    case InboundCommand::CS: HandleCS(form, m.payload, m.sender); break;
    case InboundCommand::XX: HandleXX(form, m.payload); break;
    case InboundCommand::AI: HandleAI(form, m.payload); break;
    case InboundCommand::DI: HandleDI(form, m.payload); break;
    case InboundCommand::PR: HandlePR(form, m.payload); break;
    case InboundCommand::FS: HandleFS(form, m.payload); break;
    case InboundCommand::EI: HandleEI(form, m.payload); break;
    case InboundCommand::TX: HandleTX(form, m.payload); break;
    case InboundCommand::None: break;
    }
}

// The handlers are filled in by the inbound message handling.
void HandleCC(TMainForm &, const QByteArray &) {}
void HandleCD(TMainForm &, const QByteArray &) {}
void HandleTP(TMainForm &, const QByteArray &) {}
void HandleCE(TMainForm &, const QByteArray &) {}
void HandleCM(TMainForm &, const QByteArray &) {}
void HandleIP(TMainForm &, const QByteArray &, const QByteArray &) {}
void HandleCN(TMainForm &, const QByteArray &, const QByteArray &) {}
void HandleCS(TMainForm &, const QByteArray &, const QByteArray &) {}
void HandleXX(TMainForm &, const QByteArray &) {}
void HandleAI(TMainForm &, const QByteArray &) {}
void HandleDI(TMainForm &, const QByteArray &) {}
void HandlePR(TMainForm &, const QByteArray &) {}
void HandleFS(TMainForm &, const QByteArray &) {}
void HandleEI(TMainForm &, const QByteArray &) {}
void HandleTX(TMainForm &, const QByteArray &) {}

void ButtonSendMessageClick(TMainForm &) {}
