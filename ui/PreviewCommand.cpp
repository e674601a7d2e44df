#include "ui/PreviewCommand.h"

#include "intake/DatagramParser.h"
#include "messaging/FormatMes.h"
#include "messaging/SmsSize.h"

TPreviewCommand::TResult TPreviewCommand::Run(const QString& templ, const std::optional<QString>& eventText,
                                              const QLocale& locale)
{
    TMes mes = SampleMes();
    if (eventText) {
        if (const std::optional<TDatagramError> error = ApplyDatagram(*eventText, locale, mes, false))
            return {2, QString(), QStringLiteral("KestravaPelorin: --event: %1\n").arg(error->Message)};
    }
    const QString text = FormatMes(mes, templ, locale);
    return {0, text + u'\n' + SmsSizeLine(SmsSizeOf(text)) + u'\n', QString()};
}
