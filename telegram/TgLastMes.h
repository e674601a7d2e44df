#pragma once

#include <QtGlobal>

class TKvBotDriver;

// The bot's recent-events command: the newest events of every employee the user is subscribed
// to, each as its own message formatted with the Telegram template and marked as archived.
//
// Runs on the bot's thread with a database connection of its own for the whole command.
class TTgLastMes {
public:
    explicit TTgLastMes(TKvBotDriver& driver);

    void TgLastMes(qint64 userId);

private:
    TKvBotDriver& FDriver;
};
