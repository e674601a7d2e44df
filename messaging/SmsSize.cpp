#include "messaging/SmsSize.h"

#include <vector>

namespace {

// The GSM 03.38 default alphabet; the escape code 0x1B is not a character of its own.
constexpr char16_t kGsmBasic[] = u"@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞÆæßÉ !\"#¤%&'()*+,-./0123456789:;<=>?"
                                 u"¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà";
constexpr char16_t kGsmExtension[] = u"\f^{}\\[~]|€";

bool Contains(const char16_t* table, char16_t c)
{
    for (const char16_t* p = table; *p != 0; ++p) {
        if (*p == c)
            return true;
    }
    return false;
}

// The width of each character in the encoding's units; empty when GSM-7 cannot carry the text.
std::vector<int> GsmWidths(QStringView text)
{
    std::vector<int> widths;
    widths.reserve(size_t(text.size()));
    for (const QChar c : text) {
        if (Contains(kGsmBasic, c.unicode()))
            widths.push_back(1);
        else if (Contains(kGsmExtension, c.unicode()))
            widths.push_back(2);
        else
            return {};
    }
    return widths;
}

std::vector<int> Ucs2Widths(QStringView text)
{
    std::vector<int> widths;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        widths.push_back(pair ? 2 : 1);
        i += pair ? 1 : 0;
    }
    return widths;
}

// Fills parts greedily without splitting a character.
int CountParts(const std::vector<int>& widths, int total, int single, int perPart)
{
    if (total == 0)
        return 0;
    if (total <= single)
        return 1;
    int parts = 1;
    int used = 0;
    for (const int width : widths) {
        if (used + width > perPart) {
            ++parts;
            used = 0;
        }
        used += width;
    }
    return parts;
}

QString Counted(int count, const char* singular, const char* plural)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? singular : plural));
}

} // namespace

TSmsSize SmsSizeOf(QStringView text)
{
    TSmsSize size;
    std::vector<int> widths = GsmWidths(text);
    int single = 160;
    int perPart = 153;
    if (widths.empty() && !text.isEmpty()) {
        size.Encoding = TSmsSize::Ucs2;
        widths = Ucs2Widths(text);
        single = 70;
        perPart = 67;
    }
    for (const int width : widths)
        size.Characters += width;
    size.Parts = CountParts(widths, size.Characters, single, perPart);
    return size;
}

QString SmsSizeLine(const TSmsSize& size)
{
    return QStringLiteral("SMS: %1, %2, %3")
        .arg(Counted(size.Parts, "part", "parts"),
             size.Encoding == TSmsSize::Gsm7 ? QStringLiteral("GSM-7") : QStringLiteral("UCS-2"),
             Counted(size.Characters, "character", "characters"));
}
