#include "ui/PreviewCommand.h"

#include "intake/DatagramParser.h"
#include "messaging/FormatMes.h"
#include "messaging/SmsSize.h"

TMes TPreviewCommand::SampleEvent()
{
    TMes mes;
    mes.SetEmployeeFullName(QStringLiteral("Иванов Иван Иванович"));
    mes.DriverName = QStringLiteral("Турникет");
    mes.Message = QStringLiteral("Вход");
    mes.DateTime = QDateTime(QDate(2024, 11, 14), QTime(13, 30, 0));
    mes.TemperatureCheckState = 1;
    mes.TemperatureResult = 372;
    return mes;
}

TPreviewCommand::TResult TPreviewCommand::Run(const QString& templ, const std::optional<QString>& eventText,
                                              const QLocale& locale)
{
    TMes mes = SampleEvent();
    if (eventText) {
        if (const std::optional<TDatagramError> error = ApplyDatagram(*eventText, locale, mes, false))
            return {2, QString(), QStringLiteral("KestravaPelorin: --event: %1\n").arg(error->Message)};
    }
    const QString text = FormatMes(mes, templ, locale);
    return {0, text + u'\n' + SmsSizeLine(SmsSizeOf(text)) + u'\n', QString()};
}
