#include "core/BotTypes.h"

#include <array>

namespace {

bool IsWordBreak(QChar c) { return c == u' ' || c == u'\r' || c == u'\n'; }

// Cuts a name into words: blanks and line breaks end a word, a quote mark opens a stretch that
// runs to the same mark again (the marks stay in the word).
QStringList SplitNameWords(const QString& text)
{
    QStringList words;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && IsWordBreak(text[i]))
            ++i;
        if (i >= n)
            break;
        const qsizetype start = i;
        QChar quote;
        while (i < n) {
            const QChar c = text[i];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (IsWordBreak(c)) {
                break;
            } else if (c == u'\'' || c == u'"') {
                quote = c;
            }
            ++i;
        }
        words.append(text.mid(start, i - start));
    }
    return words;
}

QString TrimControls(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

void TMes::SetEmployeeFullName(const QString& fullName)
{
    FEmployeeFullName = fullName;
    LASTNAME.clear();
    FIRSTNAME.clear();
    SecondName.clear();
    const QStringList words = SplitNameWords(TrimControls(fullName));
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
