#include "messaging/FormatMes.h"

#include "messaging/DateTimePattern.h"
#include "messaging/KzSubtypeNames.h"
#include "messaging/TemplateSegments.h"

#include <cstdlib>

namespace {

QString WordAndBlank(const QString& word) { return word + u' '; }

// The first character (a whole surrogate pair if need be) and ". ", or nothing for an empty name.
QString Initial(const QString& name)
{
    if (name.isEmpty())
        return QString();
    const qsizetype length = name.size() > 1 && name[0].isHighSurrogate() && name[1].isLowSurrogate() ? 2 : 1;
    return name.left(length) + QStringLiteral(". ");
}

bool IsDateCode(QStringView code)
{
    return code == u"Dy" || code == u"Dm" || code == u"Dd" || code == u"Th" || code == u"Tn";
}

QString Contribution(const TMes& mes, QStringView code, QStringView argument, const QLocale& locale)
{
    if (code == u"Fn")
        return WordAndBlank(mes.FIRSTNAME);
    if (code == u"Ln")
        return WordAndBlank(mes.LASTNAME);
    if (code == u"Sn")
        return WordAndBlank(mes.SecondName);
    if (code == u"Fw")
        return Initial(mes.FIRSTNAME);
    if (code == u"Lw")
        return Initial(mes.LASTNAME);
    if (code == u"Sw")
        return Initial(mes.SecondName);
    if (code == u"Dn")
        return WordAndBlank(mes.DriverName);
    if (code == u"Mn")
        return WordAndBlank(mes.Message);
    if (code == u"Mk")
        return WordAndBlank(KzSubtypeName(mes.MessageSubType).value_or(QString()));
    if (code == u"Wt")
        return mes.TemperatureCheckState != 0 ? WordAndBlank(FormatTemperature(mes.TemperatureResult, locale))
                                              : QString();
    if (code == u"Ww")
        return argument.toString();
    if (IsDateCode(code))
        return FormatDateTimePattern(mes.DateTime, argument, locale);
    return QString();
}

} // namespace

QString DefaultMessTemplate()
{
    return QStringLiteral("$Th&hh$Ww&.$Tn&nn$Ww& $Fn&$Mn&$Ww&через $Dn&$Dd&dd$Ww&/$Dm&mm");
}

QString FormatMes(const TMes& mes, const QString& templ, const QLocale& locale)
{
    const QString effective = templ.isEmpty() ? DefaultMessTemplate() : templ;
    QString text;
    for (const QString& segment : SplitTemplateSegments(effective)) {
        const qsizetype ampersand = segment.indexOf(u'&');
        if (ampersand < 0)
            continue;
        const QStringView view(segment);
        text += Contribution(mes, view.left(ampersand), view.mid(ampersand + 1), locale);
    }
    return text;
}

QString FormatTemperature(int tenths, const QLocale& locale)
{
    const qlonglong magnitude = std::llabs(qlonglong(tenths));
    QLocale grouping = locale; // thousands are grouped even where the locale's options say otherwise
    grouping.setNumberOptions(QLocale::DefaultNumberOptions);
    QString text = grouping.toString(magnitude / 10);
    text += locale.decimalPoint();
    text += QString::number(magnitude % 10);
    if (tenths < 0)
        text.prepend(locale.negativeSign());
    return text;
}

TMes SampleMes()
{
    TMes mes;
    mes.SetEmployeeFullName(QStringLiteral("Иванов Иван Иванович"));
    mes.DriverName = QStringLiteral("Турникет");
    mes.Message = QStringLiteral("Вход");
    mes.DateTime = QDateTime(QDate(2024, 11, 14), QTime(13, 30));
    mes.TemperatureCheckState = 1;
    mes.TemperatureResult = 372;
    return mes;
}
