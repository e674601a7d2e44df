#pragma once

#include "core/BotTypes.h"

#include <QLocale>
#include <QString>

#include <optional>

// `KestravaPelorin --preview TEMPLATE [--event TEXT]`: the text a template makes of a sample event,
// and what that text costs as SMS, so that an operator can try a template without sending anything.
class TPreviewCommand {
public:
    struct TResult {
        int ExitCode = 0;
        QString Output; // for standard output
        QString Error;  // for standard error
    };

    // The event formatted is SampleMes() of messaging/FormatMes.h.
    // Formats the sample event, with the datagram fields of `eventText` put over it when given. A
    // DateTime or IsKeyEvent in the text that does not convert ends with exit code 2.
    static TResult Run(const QString& templ, const std::optional<QString>& eventText,
                       const QLocale& locale = QLocale::system());
};
