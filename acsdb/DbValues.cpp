#include "acsdb/DbValues.h"

#include <QSqlQuery>

#include <array>

QString GuidParam(const QString& id)
{
    QStringView view(id);
    if (view.startsWith(u'{'))
        view = view.mid(1);
    if (view.endsWith(u'}'))
        view.chop(1);
    return view.toString().toUpper();
}

QString GuidText(const QVariant& value)
{
    if (value.isNull())
        return QString();
    const QString text = value.toString();
    if (text.isEmpty())
        return QString();
    return u'{' + GuidParam(text) + u'}';
}

QString OwnText(const QVariant& value)
{
    const QString text = value.toString();
    return text.isEmpty() ? QString() : QString(text.constData(), text.size());
}

QDateTime DateTimeValue(const QVariant& value)
{
    if (value.isNull())
        return QDateTime();
    if (value.metaType().id() == QMetaType::QDateTime) {
        const QDateTime dateTime = value.toDateTime();
        return QDateTime(dateTime.date(), dateTime.time(), dateTime.timeSpec());
    }
    const QString text = value.toString().trimmed();
    static constexpr std::array kFormats{"yyyy-MM-dd HH:mm:ss.zzz",   "yyyy-MM-dd HH:mm:ss",
                                         "yyyy-MM-dd'T'HH:mm:ss.zzz", "yyyy-MM-dd'T'HH:mm:ss",
                                         "yyyy-MM-dd HH:mm",          "yyyy-MM-dd"};
    for (const char* format : kFormats) {
        const QDateTime parsed = QDateTime::fromString(text, QString::fromLatin1(format));
        if (parsed.isValid())
            return parsed;
    }
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

qint32 IntValue(const QVariant& value)
{
    bool ok = false;
    const qint32 number = value.toInt(&ok);
    return ok ? number : 0;
}

TMes LogRowToMes(const QSqlQuery& row)
{
    TMes mes;
    mes.LogMessageId = OwnText(row.value(0));
    mes.DateTime = DateTimeValue(row.value(1));
    mes.IsKeyEvent = true;
    mes.MessageType = OwnText(row.value(2));
    mes.MessageSubType = OwnText(row.value(3));
    mes.Message = OwnText(row.value(4));
    mes.Details = OwnText(row.value(5));
    mes.DriverId = GuidText(row.value(6));
    mes.EmployeeId = GuidText(row.value(7));
    mes.OperatorId = GuidText(row.value(8));
    mes.AlcoholResult = IntValue(row.value(9));
    mes.AlcoholCheckState = IntValue(row.value(10));
    mes.TemperatureResult = IntValue(row.value(11));
    mes.TemperatureCheckState = IntValue(row.value(12));
    mes.SetEmployeeFullName(OwnText(row.value(13)));
    mes.DriverName = OwnText(row.value(14));
    return mes;
}
