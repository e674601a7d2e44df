#include "messaging/NameValueLines.h"

QStringList SplitSettingLines(QStringView text)
{
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') {
            ++i;
            continue;
        }
        lines.append(text.mid(start, i - start).toString());
        i += (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
        start = i;
    }
    if (start < n)
        lines.append(text.mid(start).toString());
    return lines;
}

std::optional<TNameValue> SplitNameValue(const QString& line)
{
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    return TNameValue{line.left(equals), line.mid(equals + 1)};
}
