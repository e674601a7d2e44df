#pragma once

#include "acsdb/ConnectionManager.h"
#include "acsdb/DbConnection.h"
#include "acsdb/DbError.h"
#include "tests/fakes/TempAppData.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// A fresh demo installation of the access-control server in a temporary PELORIN_COMMON_APPDATA,
// made by scripts/make-demo-installation from acsdb/sqlite/schema.sql and demo-data.sql: a
// server.config naming an SQLite database with the demo content. A driver created while it lives
// reads that configuration and connects to that database.
//
//     TDemoInstallation demo;                      // throws std::runtime_error when it cannot
//     TKvBotDriver driver(app, options);           // connects to the demo database
//     demo.Exec("delete from log");                // change the data under the program's feet
//     demo.Rows("select Description from PhoneNumbers where _id=?", {id});
//
// A test that uses it links Qt6::Sql (pelorin_add_test(... LIBRARIES Qt6::Sql)); it runs bash and
// the sqlite3 command, so it is for POSIX systems.
//
// Ids of the demo data: employees E0000001-0000-4000-8000-00000000000N (N = 1..8, 5 removed; 7 and 8
// share one number), phones F000000N-..., devices D000000N-... (see acsdb/sqlite/demo-data.sql).
class TDemoInstallation {
public:
    TDemoInstallation() { RunMakeScript(FAppData.Path().toStdString()); }

    QString AppDataDir() const { return FAppData.Path(); }
    QString KestravaDir() const { return FAppData.Path() + QStringLiteral("/Orlimont/Kestrava"); }
    QString ServerConfigPath() const { return KestravaDir() + QStringLiteral("/server.config"); }
    QString DatabasePath() const { return KestravaDir() + QStringLiteral("/KestravaDb.sqlite"); }

    // Replaces server.config with `text`.
    void WriteServerConfig(const QByteArray& text) const
    {
        QFile file(ServerConfigPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
            throw std::runtime_error("cannot write server.config");
    }

    // Runs one statement on the demo database with its own connection; returns the rows changed.
    int Exec(const QString& sql, const QVariantList& binds = {}) const
    {
        int changed = 0;
        WithQuery(sql, binds, [&](QSqlQuery& query) { changed = query.numRowsAffected(); });
        return changed;
    }

    // The rows a select returns, each as its column values.
    std::vector<QVariantList> Rows(const QString& sql, const QVariantList& binds = {}) const
    {
        std::vector<QVariantList> rows;
        WithQuery(sql, binds, [&](QSqlQuery& query) {
            while (query.next()) {
                QVariantList row;
                for (int i = 0; i < query.record().count(); ++i)
                    row << query.value(i);
                rows.push_back(row);
            }
        });
        return rows;
    }

    // The first column of the first row, or an invalid value when there is none.
    QVariant Scalar(const QString& sql, const QVariantList& binds = {}) const
    {
        const std::vector<QVariantList> rows = Rows(sql, binds);
        return rows.empty() || rows.front().isEmpty() ? QVariant() : rows.front().front();
    }

private:
    // fork and exec rather than QProcess: ThreadSanitizer follows a plain fork, while the way
    // QProcess starts a child leaves it reporting false races in the parent afterwards.
    static void RunMakeScript(const std::string& dir)
    {
        const std::string script = PELORIN_SOURCE_DIR "/scripts/make-demo-installation";
        const pid_t child = ::fork();
        if (child < 0)
            throw std::runtime_error("make-demo-installation: cannot fork");
        if (child == 0) {
            const int devNull = ::open("/dev/null", O_WRONLY);
            if (devNull >= 0)
                ::dup2(devNull, STDOUT_FILENO);
            ::execlp("bash", "bash", script.c_str(), dir.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (::waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(child, SIGKILL);
                ::waitpid(child, &status, 0);
                throw std::runtime_error("make-demo-installation: no end after 30 s");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            throw std::runtime_error("make-demo-installation failed (see its standard error)");
    }

    template <typename TRead>
    void WithQuery(const QString& sql, const QVariantList& binds, TRead&& read) const
    {
        TConnectionManager manager;
        manager.Define(TConnectionDef::Sqlite(DatabasePath()));
        TDbConnection db(manager);
        QSqlQuery query = db.Exec(TSqlText{{sql}, binds}); // throws TDbError, a std::runtime_error
        read(query);
        TDbConnection::CheckFetch(query);
    }

    TTempAppData FAppData;
};
