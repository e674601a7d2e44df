#include "core/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kDefaultFile = R"({"tgId":"","tgEn":false,"bdTmpLimit":0,"bdEn":false,"tgMessFrm":"",)"
                                R"("smsRuId":"","smsRuEn":false,"smsRuMessFrm":"","tgOnlyAdd":false,)"
                                R"("smsRuOnlyAdd":false,"tgAdd":"","smsRuAdd":"","messFltr":""})";

TConf FilledConf()
{
    TConf conf;
    conf.TgId = QStringLiteral("123:AA/bb");
    conf.TgEn = true;
    conf.BdTmpLimit = 37.5;
    conf.BdEn = true;
    conf.TgMessFrm = QStringLiteral("$Fn&$Ww&Вход");
    conf.SmsRuId = QStringLiteral("key\"\\");
    conf.SmsRuEn = false;
    conf.SmsRuMessFrm = QStringLiteral("\b\t\n\f\r\x01\x1f\x7f~");
    conf.TgOnlyAdd = true;
    conf.SmsRuOnlyAdd = true;
    conf.TgAdd = QStringLiteral("123=Проходная");
    conf.SmsRuAdd = QStringLiteral("+7 900\u00A0€ 😀");
    conf.MessFltr = QStringLiteral("Проходная=DriversId$D1\r\nСклад=SubTypesId$26");
    return conf;
}

TEST(SettingsFile, ExactBytes)
{
    EXPECT_EQ(SettingsFile::ToJson(TConf{}), kDefaultFile);
    const QByteArray filled =
        R"({"tgId":"123:AA\/bb","tgEn":true,"bdTmpLimit":37.5,"bdEn":true,"tgMessFrm":"$Fn&$Ww&\u0412\u0445\u043E\u0434",)"
        R"("smsRuId":"key\"\\","smsRuEn":false,"smsRuMessFrm":"\b\t\n\f\r\u0001\u001F)"
        "\x7f"
        R"(~","tgOnlyAdd":true,"smsRuOnlyAdd":true,"tgAdd":"123=\u041F\u0440\u043E\u0445\u043E\u0434\u043D\u0430\u044F",)"
        R"("smsRuAdd":"+7 900\u00A0\u20AC \uD83D\uDE00",)"
        R"("messFltr":"\u041F\u0440\u043E\u0445\u043E\u0434\u043D\u0430\u044F=DriversId$D1\r\n\u0421\u043A\u043B\u0430\u0434=SubTypesId$26"})";
    EXPECT_EQ(SettingsFile::ToJson(FilledConf()), filled);
}

TEST(SettingsFile, NumberForm)
{
    const std::vector<std::pair<double, QByteArray>> cases{
        {0.0, "0"},
        {-0.0, "0"},
        {37.5, "37.5"},
        {36.6, "36.6"},
        {-5.0, "-5"},
        {100.0, "100"},
        {1234.5678, "1234.5678"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {0.1 + 0.2, "0.3"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {-2.5e20, "-2.5E20"},
        {0.00001, "0.00001"},
        {0.0000123, "0.0000123"},
        {0.000001, "1E-6"},
        {1.5e-300, "1.5E-300"},
        {std::numeric_limits<double>::quiet_NaN(), "0"},
        {std::numeric_limits<double>::infinity(), "0"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(SettingsFile::FormatNumber(value), text) << value;
}

struct TLoadCase {
    const char* Why;
    QString Text;
    TConf Expected;
};

TEST(SettingsFile, LoadingText)
{
    TConf before;
    before.TgId = QStringLiteral("old");
    before.BdTmpLimit = 1.5;
    before.SmsRuEn = true;

    TConf handWritten = before;
    handWritten.TgId = QStringLiteral("tok/en");
    handWritten.TgEn = true;
    handWritten.BdEn = true;
    handWritten.TgMessFrm = QStringLiteral("$Fn&Привет");
    handWritten.BdTmpLimit = 38;
    handWritten.MessFltr = QStringLiteral("a=b\r\nc=d");

    TConf wrongTypes = before;
    wrongTypes.SmsRuAdd = QStringLiteral("ok");

    const std::vector<TLoadCase> cases{
        {"keys in any case, with F, in any order, unknown keys",
         uR"({"FMessFltr":"a=b\r\nc=d","BDEN":true,"tgmessfrm":"$Fn&\u041F\u0440\u0438\u0432\u0435\u0442",)"
         uR"("ftgen":true,"TgId":"tok\/en","bdTmpLimit":38,"other":1,"FFtgId":"x","F":"y"})"_s,
         handWritten},
        {"raw Cyrillic", uR"({"tgMessFrm":"$Fn&Привет"})"_s,
         [&] {
             TConf c = before;
             c.TgMessFrm = QStringLiteral("$Fn&Привет");
             return c;
         }()},
        {"values of the wrong type are ignored",
         uR"({"tgId":5,"tgEn":"true","bdTmpLimit":"38","smsRuEn":null,"tgAdd":[],"smsRuAdd":"ok"})"_s,
         wrongTypes},
        {"empty object", u"{}"_s, before},
        {"not JSON", u"{\"tgId\":"_s, before},
        {"empty text", u""_s, before},
        {"an array", u"[{\"tgId\":\"x\"}]"_s, before},
        {"null", u" null "_s, before},
        {"two values", u"5 6"_s, before},
    };
    for (const TLoadCase& c : cases) {
        TConf conf = before;
        SettingsFile::ApplyJson(c.Text, conf);
        EXPECT_EQ(conf, c.Expected) << c.Why;
    }

    for (const QString& single : {u"5"_s, u" \"text\" "_s, u"true"_s, u"false"_s, u"-1.5e3"_s}) {
        TConf conf = before;
        try {
            SettingsFile::ApplyJson(single, conf);
            ADD_FAILURE() << "no error for " << single.toStdString();
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "The input value is not a valid Object");
        }
        EXPECT_EQ(conf, before);
    }
}

TEST(SettingsFile, SaveAndLoadGiveTheSameSettings)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Config.kvf"));
    SettingsFile::Save(path, FilledConf());
    TConf loaded;
    SettingsFile::Load(path, loaded);
    EXPECT_EQ(loaded, FilledConf());

    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"Config.kvf"_s});
}

TEST(SettingsFile, LoadingFiles)
{
    QTemporaryDir dir;
    // A missing folder is created, with any missing parent, and nothing is loaded.
    const QString nested = dir.filePath(QStringLiteral("common/KestravaPelorin/Config.kvf"));
    TConf conf;
    SettingsFile::Load(nested, conf);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("common/KestravaPelorin"))).isDir());
    EXPECT_EQ(conf, TConf{});
    SettingsFile::Load(nested, conf); // folder there, file missing
    EXPECT_EQ(conf, TConf{});

    // A hand-written file saved with the UTF-8 signature.
    QFile file(nested);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBF{\"tgId\":\"\xD0\xAF\"}");
    file.close();
    SettingsFile::Load(nested, conf);
    EXPECT_EQ(conf.TgId, QStringLiteral("Я"));

    // A file that cannot be read is an error, not silently skipped.
    const QString folderAsFile = dir.filePath(QStringLiteral("other/Config.kvf"));
    ASSERT_TRUE(QDir().mkpath(folderAsFile));
    EXPECT_THROW(SettingsFile::Load(folderAsFile, conf), std::runtime_error);
}

TEST(SettingsFile, FailedSaveLeavesNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Config.kvf"));
    SettingsFile::Save(path, TConf{});
    // The target is a folder now: the rename fails after the new text was written.
    const QString blocked = dir.filePath(QStringLiteral("blocked"));
    ASSERT_TRUE(QDir().mkpath(blocked + QStringLiteral("/inside")));
    EXPECT_THROW(SettingsFile::Save(blocked, FilledConf()), std::runtime_error);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"Config.kvf"_s});

    // The folder is gone: a clear error naming the file.
    const QString gone = dir.filePath(QStringLiteral("gone/Config.kvf"));
    try {
        SettingsFile::Save(gone, TConf{});
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()),
                  QStringLiteral("Cannot write %1: No such file or directory").arg(gone));
    }
}

} // namespace
