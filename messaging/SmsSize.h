#pragma once

#include <QString>
#include <QStringView>

// What a text costs as SMS. A text of the GSM 7-bit alphabet fits 160 characters in one SMS and 153
// in each part of a longer one (the characters of the extension table, such as € [ ] { }, take two);
// any other character, Cyrillic included, makes the whole text UCS-2: 70 characters in one SMS, 67
// per part (a character outside the basic plane takes two). A part never splits such a pair.
struct TSmsSize {
    enum TEncoding { Gsm7, Ucs2 };

    TEncoding Encoding = Gsm7;
    int Characters = 0; // as the SMS counts them
    int Parts = 0;      // 0 for an empty text

    bool operator==(const TSmsSize&) const = default;
};

TSmsSize SmsSizeOf(QStringView text);

// "SMS: 1 part, UCS-2, 37 characters"
QString SmsSizeLine(const TSmsSize& size);
