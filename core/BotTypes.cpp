#include "core/BotTypes.h"

#include "core/TextItems.h"

#include <array>

void TMes::SetEmployeeFullName(const QString& fullName)
{
    FEmployeeFullName = fullName;
    LASTNAME.clear();
    FIRSTNAME.clear();
    SecondName.clear();
    const QStringList words = SplitQuotedItems(TrimControls(fullName), u" \r\n");
    std::array<QString*, 3> parts{&LASTNAME, &FIRSTNAME, &SecondName};
    for (qsizetype i = 0; i < words.size() && i < qsizetype(parts.size()); ++i)
        *parts[size_t(i)] = TrimControls(words[i]);
}

QString TobjName(Tobj obj)
{
    switch (obj) {
    case TObjNone: return QStringLiteral("TObjNone");
    case TobjBase: return QStringLiteral("TobjBase");
    case TobjLog: return QStringLiteral("TobjLog");
    case TobjTg: return QStringLiteral("TobjTg");
    case TobjSmsru: return QStringLiteral("TobjSmsru");
    case TobjServMes: return QStringLiteral("TobjServMes");
    }
    return QString::number(int(obj));
}

QString TStatusName(TStatus status)
{
    switch (status) {
    case TStNone: return QStringLiteral("TStNone");
    case TstConErr: return QStringLiteral("TstConErr");
    case TstConNorm: return QStringLiteral("TstConNorm");
    case TstRecMes: return QStringLiteral("TstRecMes");
    case TstSendMes: return QStringLiteral("TstSendMes");
    case TstProc: return QStringLiteral("TstProc");
    case TstChanRec: return QStringLiteral("TstChanRec");
    case TstGetId: return QStringLiteral("TstGetId");
    case TStStatus: return QStringLiteral("TStStatus");
    }
    return QString::number(int(status));
}
