#include "messaging/SmsSize.h"

#include <gtest/gtest.h>

namespace {

QString Repeat(const QString& text, int times) { return text.repeated(times); }

TEST(SmsSize, EncodingCharactersAndParts)
{
    struct TCase {
        const char* Why;
        QString Text;
        TSmsSize Expected;
    };
    const QString a = QStringLiteral("a");
    const QString ya = QStringLiteral("я");
    const QString euro = QStringLiteral("€");
    const QString smile = QStringLiteral("😀");
    const std::vector<TCase> cases{
        {"empty", QString(), {TSmsSize::Gsm7, 0, 0}},
        {"plain latin", QStringLiteral("Hello, world!"), {TSmsSize::Gsm7, 13, 1}},
        {"GSM letters beyond ASCII", QStringLiteral("Ça coûte 5€? ñ"), {TSmsSize::Ucs2, 14, 1}},
        {"GSM letters with extension", QStringLiteral("Ça 5€ [ok] ñ"), {TSmsSize::Gsm7, 15, 1}},
        {"160 GSM characters fit one", Repeat(a, 160), {TSmsSize::Gsm7, 160, 1}},
        {"161 need two", Repeat(a, 161), {TSmsSize::Gsm7, 161, 2}},
        {"306 fill two", Repeat(a, 306), {TSmsSize::Gsm7, 306, 2}},
        {"307 need three", Repeat(a, 307), {TSmsSize::Gsm7, 307, 3}},
        {"an escape pair is not split", Repeat(a, 152) + euro + Repeat(a, 152), {TSmsSize::Gsm7, 306, 3}},
        {"Cyrillic is UCS-2", QStringLiteral("Привет"), {TSmsSize::Ucs2, 6, 1}},
        {"70 UCS-2 fit one", Repeat(ya, 70), {TSmsSize::Ucs2, 70, 1}},
        {"71 need two", Repeat(ya, 71), {TSmsSize::Ucs2, 71, 2}},
        {"134 fill two", Repeat(ya, 134), {TSmsSize::Ucs2, 134, 2}},
        {"135 need three", Repeat(ya, 135), {TSmsSize::Ucs2, 135, 3}},
        {"one Cyrillic letter turns a latin text",
         Repeat(a, 100) + QStringLiteral("Ё"),
         {TSmsSize::Ucs2, 101, 2}},
        {"a surrogate pair counts two", smile, {TSmsSize::Ucs2, 2, 1}},
        {"a surrogate pair is not split", Repeat(ya, 66) + smile + Repeat(ya, 66), {TSmsSize::Ucs2, 134, 3}},
        {"the escape code itself is no GSM character", QStringLiteral("a\x1b"), {TSmsSize::Ucs2, 2, 1}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(SmsSizeOf(c.Text), c.Expected) << c.Why;
}

TEST(SmsSize, Line)
{
    EXPECT_EQ(SmsSizeLine({TSmsSize::Ucs2, 37, 1}), QStringLiteral("SMS: 1 part, UCS-2, 37 characters"));
    EXPECT_EQ(SmsSizeLine({TSmsSize::Gsm7, 1, 2}), QStringLiteral("SMS: 2 parts, GSM-7, 1 character"));
    EXPECT_EQ(SmsSizeLine({TSmsSize::Gsm7, 0, 0}), QStringLiteral("SMS: 0 parts, GSM-7, 0 characters"));
}

} // namespace
