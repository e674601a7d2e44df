#pragma once

#include <QByteArray>
#include <QString>

// The SMS gateway's reply, for the balance query and for a send alike. Reply members not listed
// here are ignored; a missing one leaves its field empty or 0.
struct TSmsRuBalans {
    QString Balance;     // "balance"; a number keeps the text it was written with ("123.40")
    QString Status;      // "status": "OK" when the gateway accepted the request
    int StatusCode = 0;  // "status_code"
    QString Status_text; // "status_text": the gateway's explanation of a refusal

    // A body that is not a JSON object gives the empty record.
    static TSmsRuBalans FromJson(const QByteArray& body);

    bool operator==(const TSmsRuBalans&) const = default;
};
