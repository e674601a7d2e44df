#include "messaging/TemplateSegments.h"

namespace {

bool IsSkippedBeforeSegment(QChar c) { return c == u' ' || c == u'\r' || c == u'\n'; }
bool IsSegmentSeparator(QChar c) { return c == u'$' || c == u'\r' || c == u'\n'; }
bool IsQuote(QChar c) { return c == u'\'' || c == u'"'; }

} // namespace

QStringList SplitTemplateSegments(QStringView text)
{
    QStringList segments;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && IsSkippedBeforeSegment(text[i]))
            ++i;
        const qsizetype start = i;
        QChar quote;
        while (i < n) {
            const QChar c = text[i];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (IsSegmentSeparator(c)) {
                break;
            } else if (IsQuote(c)) {
                quote = c;
            }
            ++i;
        }
        if (i > start)
            segments.append(text.mid(start, i - start).toString());
        ++i; // past the separator
    }
    return segments;
}
