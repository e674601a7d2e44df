#include "intake/DatagramParser.h"

#include "core/TextItems.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

#include <array>

namespace {

// The order of day, month and year and the separators, read off the locale's short formats.
struct TRegionalFormat {
    std::array<char, 3> Order{'d', 'm', 'y'};
    QChar DateSeparator = u'/';
    QChar TimeSeparator = u':';
};

TRegionalFormat RegionalFormatOf(const QLocale& locale)
{
    TRegionalFormat format;
    const QString datePattern = locale.dateFormat(QLocale::ShortFormat);
    int filled = 0;
    bool separatorFound = false;
    QChar previous;
    for (const QChar c : datePattern) {
        const char field = c == u'd' ? 'd' : c == u'M' ? 'm' : c == u'y' ? 'y' : 0;
        if (field != 0) {
            if (field != previous && filled < 3)
                format.Order[size_t(filled++)] = field;
            previous = field;
        } else if (filled > 0 && !separatorFound && !c.isLetter() && c != u'\'') {
            format.DateSeparator = c;
            separatorFound = true;
        }
    }
    if (filled < 3 || !separatorFound || format.DateSeparator.isSpace())
        format = TRegionalFormat{}; // a format without three numeric fields: fall back to d/m/y
    const QString timePattern = locale.timeFormat(QLocale::ShortFormat);
    for (const QChar c : timePattern) {
        if (!c.isLetter() && c != u'\'' && !c.isSpace()) {
            format.TimeSeparator = c;
            break;
        }
    }
    return format;
}

int ExpandTwoDigitYear(int year, qsizetype digits)
{
    if (digits > 2)
        return year;
    // Within fifty years of today, as people read a two-digit year.
    const int current = QDate::currentDate().year();
    int full = current - current % 100 + year;
    if (full > current + 50)
        full -= 100;
    else if (full <= current - 50)
        full += 100;
    return full;
}

std::optional<QDate> ParseRegionalDate(const QString& text, const TRegionalFormat& format)
{
    const QStringList parts = text.split(format.DateSeparator);
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    std::array<int, 3> numbers{};
    std::array<qsizetype, 3> digits{};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString part = parts[i].trimmed();
        bool ok = false;
        numbers[size_t(i)] = part.toInt(&ok);
        digits[size_t(i)] = part.size();
        if (!ok || part.isEmpty() || part.size() > 4 || numbers[size_t(i)] < 0)
            return std::nullopt;
    }
    int day = 0;
    int month = 0;
    int year = QDate::currentDate().year();
    if (parts.size() == 2) {
        // Day and month in regional order, the year is this year.
        int fieldIndex = 0;
        for (const char field : format.Order) {
            if (field == 'y')
                continue;
            (field == 'd' ? day : month) = numbers[size_t(fieldIndex++)];
        }
    } else {
        for (size_t i = 0; i < 3; ++i) {
            switch (format.Order[i]) {
            case 'd': day = numbers[i]; break;
            case 'm': month = numbers[i]; break;
            default: year = ExpandTwoDigitYear(numbers[i], digits[i]); break;
            }
        }
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QTime> ParseRegionalTime(QString text, const QLocale& locale, const TRegionalFormat& format)
{
    text = text.trimmed();
    int meridiem = 0; // 1 am, 2 pm
    const std::array<std::pair<QString, int>, 4> markers{
        {{locale.amText(), 1}, {locale.pmText(), 2}, {QStringLiteral("AM"), 1}, {QStringLiteral("PM"), 2}}};
    for (const auto& [marker, kind] : markers) {
        if (marker.isEmpty())
            continue;
        if (text.endsWith(marker, Qt::CaseInsensitive)) {
            text.chop(marker.size());
            meridiem = kind;
            break;
        }
        if (text.startsWith(marker, Qt::CaseInsensitive)) {
            text.remove(0, marker.size());
            meridiem = kind;
            break;
        }
    }
    text = text.trimmed();
    QString fraction;
    const QStringList parts = text.split(format.TimeSeparator);
    if (parts.isEmpty() || parts.size() > 3 || (parts.size() == 1 && meridiem == 0))
        return std::nullopt;
    std::array<int, 3> numbers{};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QString part = parts[i].trimmed();
        if (i == parts.size() - 1 && i == 2) {
            const qsizetype dot = part.indexOf(QLatin1Char('.'));
            if (dot >= 0) {
                fraction = part.mid(dot + 1);
                part.truncate(dot);
            }
        }
        bool ok = false;
        numbers[size_t(i)] = part.toInt(&ok);
        if (!ok || part.isEmpty() || part.size() > 2 || numbers[size_t(i)] < 0)
            return std::nullopt;
    }
    int hour = numbers[0];
    if (meridiem != 0) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (meridiem == 2 ? 12 : 0);
    }
    int msec = 0;
    if (!fraction.isEmpty()) {
        bool ok = false;
        msec = fraction.left(3).leftJustified(3, QLatin1Char('0')).toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    const QTime time(hour, numbers[1], numbers[2], msec);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

std::optional<QDateTime> ParseIsoDateTime(const QString& text)
{
    static const QRegularExpression iso(QStringLiteral(
        R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:[T ](\d{1,2}):(\d{2})(?::(\d{2})(?:[.,](\d{1,3})\d*)?)?)?$)"));
    const QRegularExpressionMatch m = iso.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QString ms = m.captured(7);
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(),
                     ms.isEmpty() ? 0 : ms.leftJustified(3, QLatin1Char('0')).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

TDatagramError ConversionError(const QString& field, const QString& value)
{
    if (value.isEmpty())
        return {field, QStringLiteral("%1 is empty").arg(field)};
    return {field, QStringLiteral("'%1' is not a valid %2 value").arg(value, field)};
}

} // namespace

QStringList SplitDatagramItems(const QString& text) { return SplitQuotedItems(text, u",\r\n"); }

std::optional<QString> DatagramField(const QStringList& items, const QString& name)
{
    for (const QString& item : items) {
        if (item.size() > name.size() && item.at(name.size()) == u':' &&
            QStringView(item).left(name.size()).compare(name, Qt::CaseInsensitive) == 0)
            return TrimControls(item.mid(name.size() + 1));
    }
    return std::nullopt;
}

std::optional<QDateTime> ParseRegionalDateTime(const QString& text, const QLocale& locale)
{
    const QString trimmed = TrimControls(text);
    if (trimmed.isEmpty())
        return std::nullopt;
    if (auto iso = ParseIsoDateTime(trimmed))
        return iso;
    const TRegionalFormat format = RegionalFormatOf(locale);
    // Date first, then an optional time after a blank; or a time alone.
    const qsizetype blank = trimmed.indexOf(QLatin1Char(' '));
    const QString datePart = blank < 0 ? trimmed : trimmed.left(blank);
    if (auto date = ParseRegionalDate(datePart, format)) {
        if (blank < 0)
            return QDateTime(*date, QTime(0, 0));
        if (auto time = ParseRegionalTime(trimmed.mid(blank + 1), locale, format))
            return QDateTime(*date, *time);
        return std::nullopt;
    }
    if (auto time = ParseRegionalTime(trimmed, locale, format))
        return QDateTime(QDate(1899, 12, 30), *time); // a time alone lies on day zero
    return std::nullopt;
}

std::optional<bool> ParseKeyEventFlag(const QString& text, const QLocale& locale)
{
    const QString trimmed = TrimControls(text);
    bool isNumber = false;
    const double number = locale.toDouble(trimmed, &isNumber);
    if (isNumber)
        return number != 0.0;
    if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

std::optional<TDatagramError> ApplyDatagram(const QString& text, const QLocale& locale, TMes& mes,
                                            bool requireAll)
{
    const QStringList items = SplitDatagramItems(text);
    const auto take = [&items](const char* name, QString& target) {
        if (auto value = DatagramField(items, QLatin1String(name)))
            target = *value;
    };
    take("LogMessageId", mes.LogMessageId);
    take("DriverId", mes.DriverId);

    const std::optional<QString> dateTime = DatagramField(items, QStringLiteral("DateTime"));
    if (dateTime || requireAll) {
        const QString value = dateTime.value_or(QString());
        const std::optional<QDateTime> parsed = ParseRegionalDateTime(value, locale);
        if (!parsed)
            return ConversionError(QStringLiteral("DateTime"), value);
        mes.DateTime = *parsed;
    }
    const std::optional<QString> keyEvent = DatagramField(items, QStringLiteral("IsKeyEvent"));
    if (keyEvent || requireAll) {
        const QString value = keyEvent.value_or(QString());
        const std::optional<bool> parsed = ParseKeyEventFlag(value, locale);
        if (!parsed)
            return ConversionError(QStringLiteral("IsKeyEvent"), value);
        mes.IsKeyEvent = *parsed;
    }
    take("MessageType", mes.MessageType);
    take("MessageSubType", mes.MessageSubType);
    take("EmployeeId", mes.EmployeeId);
    take("Message", mes.Message);
    take("Details", mes.Details);
    take("OperatorId", mes.OperatorId);
    take("Data", mes.Data);
    take("DriverName", mes.DriverName);
    if (auto fullName = DatagramField(items, QStringLiteral("EmployeeFullName")))
        mes.SetEmployeeFullName(*fullName);
    return std::nullopt;
}

std::optional<TMes> ParseDatagram(const QString& text, const QLocale& locale)
{
    TMes mes;
    if (ApplyDatagram(text, locale, mes, true))
        return std::nullopt;
    mes.MessFromBase = false;
    return mes;
}
