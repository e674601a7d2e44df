#include "messaging/DateTimePattern.h"

#include <QDate>
#include <QTime>

namespace {

bool IsQuote(QChar c) { return c == u'\'' || c == u'"'; }

char AsciiUpper(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'a' && u <= u'z')
        return char(u - u'a' + 'A');
    if (u >= u'A' && u <= u'Z')
        return char(u);
    return 0;
}

bool StartsWithAt(QStringView pattern, qsizetype at, QLatin1StringView word)
{
    return pattern.mid(at).startsWith(word, Qt::CaseInsensitive);
}

QString Number(int value, int width) { return QString::number(value).rightJustified(width, u'0'); }

// The first separator a regional pattern puts between its fields, or `fallback`.
QChar RegionalSeparator(const QString& regionalPattern, QChar fallback)
{
    bool seenField = false;
    for (const QChar c : regionalPattern) {
        if (c.isLetter()) {
            seenField = true;
        } else if (seenField && !IsQuote(c) && !c.isSpace()) {
            return c;
        }
    }
    return fallback;
}

// The regional long time format carries the time zone; a local event time has none to show.
QString LongTimeFormatWithoutZone(const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    QChar quote;
    for (const QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (IsQuote(c)) {
            quote = c;
        } else if (c == u't') {
            continue;
        }
        kept += c;
    }
    return kept.simplified();
}

// Does the pattern write the day as a number? Month names then take the form that goes with a day
// ("14 ноября"), otherwise the form that stands alone ("ноябрь").
bool WritesDayNumber(QStringView pattern)
{
    QChar quote;
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            ++i;
        } else if (IsQuote(c)) {
            quote = c;
            ++i;
        } else if (AsciiUpper(c) == 'D') {
            qsizetype run = 0;
            while (i < pattern.size() && AsciiUpper(pattern[i]) == 'D') {
                ++run;
                ++i;
            }
            if (run <= 2)
                return true;
        } else {
            ++i;
        }
    }
    return false;
}

QString EraName(const QLocale& locale)
{
    switch (locale.language()) {
    case QLocale::Russian: return QStringLiteral("н. э.");
    case QLocale::Kazakh: return QStringLiteral("б.з.");
    case QLocale::Ukrainian: return QStringLiteral("н. е.");
    case QLocale::Belarusian: return QStringLiteral("н.э.");
    default: return QStringLiteral("AD");
    }
}

class TPatternWriter {
public:
    TPatternWriter(const QDateTime& at, const QLocale& locale)
        : FDate(at.date())
        , FTime(at.time())
        , FLocale(locale)
    {
    }

    QString Write(QStringView pattern)
    {
        FPattern = pattern;
        FGenitiveMonths = WritesDayNumber(pattern);
        FOut.clear();
        FPos = 0;
        char lastLetter = 0;
        while (FPos < FPattern.size()) {
            const QChar starter = FPattern[FPos];
            char token = AsciiUpper(starter);
            if (token != 0) {
                if (token == 'M' && lastLetter == 'H')
                    token = 'N';
                lastLetter = token;
                WriteLetterElement(token, starter);
            } else {
                WriteOtherElement(starter);
            }
        }
        return FOut;
    }

private:
    // Consumes the run of the letter at FPos (either case) and returns its length.
    int TakeRun()
    {
        const char letter = AsciiUpper(FPattern[FPos]);
        int run = 0;
        while (FPos < FPattern.size() && AsciiUpper(FPattern[FPos]) == letter) {
            ++run;
            ++FPos;
        }
        return run;
    }

    void WriteLetterElement(char token, QChar starter)
    {
        switch (token) {
        case 'Y': WriteYear(TakeRun()); return;
        case 'M': WriteMonth(TakeRun()); return;
        case 'D': WriteDay(TakeRun()); return;
        case 'H': WriteHour(TakeRun()); return;
        case 'N': FOut += Number(FTime.minute(), std::min(TakeRun(), 2)); return;
        case 'S': FOut += Number(FTime.second(), std::min(TakeRun(), 2)); return;
        case 'Z': FOut += Number(FTime.msec(), std::min(TakeRun(), 3)); return;
        case 'T': FOut += TakeRun() == 1 ? ShortTime() : LongTime(); return;
        case 'C':
            TakeRun();
            WriteDateAndTime();
            return;
        case 'E': WriteYearOfEra(TakeRun()); return;
        case 'G':
            TakeRun();
            FOut += EraName(FLocale);
            return;
        case 'A': WriteAElement(); return;
        default:
            FOut += starter;
            ++FPos;
            return;
        }
    }

    void WriteOtherElement(QChar starter)
    {
        ++FPos;
        if (starter == u'/') {
            FOut += RegionalSeparator(FLocale.dateFormat(QLocale::ShortFormat), u'/');
        } else if (starter == u':') {
            FOut += RegionalSeparator(FLocale.timeFormat(QLocale::ShortFormat), u':');
        } else if (IsQuote(starter)) {
            const qsizetype close = FPattern.indexOf(starter, FPos);
            const qsizetype end = close < 0 ? FPattern.size() : close;
            FOut += FPattern.mid(FPos, end - FPos);
            FPos = close < 0 ? end : end + 1;
        } else {
            FOut += starter;
        }
    }

    void WriteYear(int run)
    {
        if (run <= 2)
            FOut += Number(FDate.year() % 100, 2);
        else
            FOut += Number(FDate.year(), 4);
    }

    void WriteYearOfEra(int run)
    {
        if (run > 2)
            FOut += Number(FDate.year(), 4);
        else if (run == 2)
            FOut += Number(FDate.year() % 100, 2);
        else
            FOut += QString::number(FDate.year() % 100);
    }

    void WriteMonth(int run)
    {
        const int month = FDate.month();
        if (run <= 2) {
            FOut += Number(month, run);
            return;
        }
        const QLocale::FormatType type = run == 3 ? QLocale::ShortFormat : QLocale::LongFormat;
        FOut += FGenitiveMonths ? FLocale.monthName(month, type) : FLocale.standaloneMonthName(month, type);
    }

    void WriteDay(int run)
    {
        switch (run) {
        case 1:
        case 2: FOut += Number(FDate.day(), run); return;
        case 3: FOut += FLocale.dayName(FDate.dayOfWeek(), QLocale::ShortFormat); return;
        case 4: FOut += FLocale.dayName(FDate.dayOfWeek(), QLocale::LongFormat); return;
        case 5: FOut += FLocale.toString(FDate, QLocale::ShortFormat); return;
        default: FOut += FLocale.toString(FDate, QLocale::LongFormat); return;
        }
    }

    void WriteHour(int run)
    {
        int hour = FTime.hour();
        if (TwelveHourClockFollows()) {
            if (hour == 0)
                hour = 12;
            else if (hour > 12)
                hour -= 12;
        }
        FOut += Number(hour, std::min(run, 2));
    }

    // The first "a" after an hour element, outside quotes and before the next hour element,
    // decides the clock: am/pm, a/p or ampm there means the 12-hour clock.
    bool TwelveHourClockFollows() const
    {
        QChar quote;
        for (qsizetype i = FPos; i < FPattern.size(); ++i) {
            const QChar c = FPattern[i];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
                continue;
            }
            if (IsQuote(c)) {
                quote = c;
                continue;
            }
            const char letter = AsciiUpper(c);
            if (letter == 'H')
                return false;
            if (letter == 'A')
                return StartsWithAt(FPattern, i, QLatin1StringView("am/pm")) ||
                       StartsWithAt(FPattern, i, QLatin1StringView("a/p")) ||
                       StartsWithAt(FPattern, i, QLatin1StringView("ampm"));
        }
        return false;
    }

    // am/pm and a/p keep the letter case written in the pattern.
    void WriteAElement()
    {
        const bool afterNoon = FTime.hour() >= 12;
        if (StartsWithAt(FPattern, FPos, QLatin1StringView("am/pm"))) {
            FOut += FPattern.mid(FPos + (afterNoon ? 3 : 0), 2);
            FPos += 5;
        } else if (StartsWithAt(FPattern, FPos, QLatin1StringView("a/p"))) {
            FOut += FPattern[FPos + (afterNoon ? 2 : 0)];
            FPos += 3;
        } else if (StartsWithAt(FPattern, FPos, QLatin1StringView("ampm"))) {
            FOut += afterNoon ? FLocale.pmText() : FLocale.amText();
            FPos += 4;
        } else if (StartsWithAt(FPattern, FPos, QLatin1StringView("aaaa"))) {
            FOut += FLocale.dayName(FDate.dayOfWeek(), QLocale::LongFormat);
            FPos += 4;
        } else if (StartsWithAt(FPattern, FPos, QLatin1StringView("aaa"))) {
            FOut += FLocale.dayName(FDate.dayOfWeek(), QLocale::ShortFormat);
            FPos += 3;
        } else {
            FOut += FPattern[FPos];
            ++FPos;
        }
    }

    void WriteDateAndTime()
    {
        FOut += FLocale.toString(FDate, QLocale::ShortFormat);
        if (FTime != QTime(0, 0)) {
            FOut += u' ';
            FOut += LongTime();
        }
    }

    QString ShortTime() const { return FLocale.toString(FTime, QLocale::ShortFormat); }
    QString LongTime() const { return FLocale.toString(FTime, LongTimeFormatWithoutZone(FLocale)); }

    const QDate FDate;
    const QTime FTime;
    const QLocale& FLocale;
    QStringView FPattern;
    qsizetype FPos = 0;
    bool FGenitiveMonths = false;
    QString FOut;
};

} // namespace

QString FormatDateTimePattern(const QDateTime& at, QStringView pattern, const QLocale& locale)
{
    if (!at.isValid())
        return QString();
    TPatternWriter writer(at, locale);
    return writer.Write(pattern.isEmpty() ? QStringView(u"c") : pattern);
}
