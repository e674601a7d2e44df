#include "telegram/TgTextSplit.h"

#include <gtest/gtest.h>

namespace {

QString Repeat(QChar c, qsizetype n) { return QString(n, c); }

TEST(TgTextSplit, CutsAtLineBreaksThenBlanksThenAnywhere)
{
    const QString line = Repeat(u'a', 9) + QLatin1Char('\n'); // 10 characters with its break
    const QString surrogate = QStringLiteral("\U0001F600");   // two UTF-16 code units
    struct TCase {
        const char* Name;
        QString Text;
        qsizetype Limit;
        QStringList Pieces;
    };
    const TCase cases[] = {
        {"within the limit", QStringLiteral("short\ntext"), 20, {QStringLiteral("short\ntext")}},
        {"empty", QString(), 20, {QString()}},
        {"exactly the limit", Repeat(u'x', 20), 20, {Repeat(u'x', 20)}},
        {"last line break that fits",
         line + line + line,
         25,
         {Repeat(u'a', 9) + QLatin1Char('\n') + Repeat(u'a', 9), Repeat(u'a', 9) + QLatin1Char('\n')}},
        {"CR LF dropped with the cut",
         QStringLiteral("aaaa\r\nbbbb\r\ncccc"),
         11,
         {QStringLiteral("aaaa\r\nbbbb"), QStringLiteral("cccc")}},
        {"break right at the limit",
         Repeat(u'a', 10) + QLatin1Char('\n') + Repeat(u'b', 5),
         10,
         {Repeat(u'a', 10), Repeat(u'b', 5)}},
        {"blank when no break fits",
         QStringLiteral("one two three four"),
         9,
         {QStringLiteral("one two"), QStringLiteral("three"), QStringLiteral("four")}},
        {"hard cut without break or blank",
         Repeat(u'z', 25),
         10,
         {Repeat(u'z', 10), Repeat(u'z', 10), Repeat(u'z', 5)}},
        {"surrogate pair kept whole",
         Repeat(u'q', 9) + surrogate + Repeat(u'r', 3),
         10,
         {Repeat(u'q', 9), surrogate + Repeat(u'r', 3)}},
        {"pieces of line breaks only dropped",
         Repeat(u'a', 10) + QStringLiteral("\n\n\n"),
         10,
         {Repeat(u'a', 10)}},
    };
    for (const TCase& c : cases) {
        const QStringList pieces = SplitTgText(c.Text, c.Limit);
        EXPECT_EQ(pieces, c.Pieces) << c.Name;
        for (const QString& piece : pieces)
            EXPECT_LE(piece.size(), c.Limit) << c.Name;
    }
}

// An event text of many lines: nothing lost, every piece fits Telegram's limit.
TEST(TgTextSplit, LongTextLosesNothing)
{
    QStringList lines;
    for (int i = 0; i < 400; ++i)
        lines << QStringLiteral("%1 Иванов Иван Иванович прошёл через турникет")
                     .arg(i, 3, 10, QLatin1Char('0'));
    const QString text = lines.join(QLatin1Char('\n'));
    ASSERT_GT(text.size(), 3 * kTgMaxText);

    const QStringList pieces = SplitTgText(text);
    EXPECT_EQ(pieces.size(), 5);
    for (const QString& piece : pieces) {
        EXPECT_LE(piece.size(), kTgMaxText);
        EXPECT_FALSE(piece.startsWith(QLatin1Char('\n')));
    }
    EXPECT_EQ(pieces.join(QLatin1Char('\n')), text);
}

} // namespace
