#include "core/TextItems.h"

namespace {

bool IsSkippedBeforeItem(QChar c) { return c == u' ' || c == u'\r' || c == u'\n'; }
bool IsQuote(QChar c) { return c == u'\'' || c == u'"'; }

} // namespace

QStringList SplitQuotedItems(QStringView text, QStringView separators)
{
    QStringList items;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && IsSkippedBeforeItem(text[i]))
            ++i;
        const qsizetype start = i;
        QChar quote;
        while (i < n) {
            const QChar c = text[i];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (separators.contains(c)) {
                break;
            } else if (IsQuote(c)) {
                quote = c;
            }
            ++i;
        }
        if (i > start)
            items.append(text.mid(start, i - start).toString());
        ++i; // past the separator
    }
    return items;
}

QString TrimControls(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin).toString();
}
