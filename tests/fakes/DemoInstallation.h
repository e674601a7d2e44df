#pragma once

#include "tests/fakes/TempAppData.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

#include <atomic>
#include <stdexcept>
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
// Ids of the demo data: employees E0000001-0000-4000-8000-00000000000N (N = 1..5, 5 removed),
// phones F000000N-..., devices D000000N-... (see acsdb/sqlite/demo-data.sql).
class TDemoInstallation {
public:
    TDemoInstallation() {
        QProcess make;
        make.start(QStringLiteral("bash"),
                   {QStringLiteral(PELORIN_SOURCE_DIR "/scripts/make-demo-installation"), FAppData.Path()});
        if (!make.waitForFinished(30000) || make.exitStatus() != QProcess::NormalExit ||
            make.exitCode() != 0) {
            throw std::runtime_error("make-demo-installation failed: " +
                                     make.readAllStandardError().toStdString());
        }
    }

    QString AppDataDir() const { return FAppData.Path(); }
    QString KestravaDir() const { return FAppData.Path() + QStringLiteral("/Orlimont/Kestrava"); }
    QString ServerConfigPath() const { return KestravaDir() + QStringLiteral("/server.config"); }
    QString DatabasePath() const { return KestravaDir() + QStringLiteral("/KestravaDb.sqlite"); }

    // Replaces server.config with `text`.
    void WriteServerConfig(const QByteArray& text) const {
        QFile file(ServerConfigPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
            throw std::runtime_error("cannot write server.config");
    }

    // Runs one statement on the demo database with its own connection; returns the rows changed.
    int Exec(const QString& sql, const QVariantList& binds = {}) const {
        int changed = 0;
        WithQuery(sql, binds, [&](QSqlQuery& query) { changed = query.numRowsAffected(); });
        return changed;
    }

    // The rows a select returns, each as its column values.
    std::vector<QVariantList> Rows(const QString& sql, const QVariantList& binds = {}) const {
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
    QVariant Scalar(const QString& sql, const QVariantList& binds = {}) const {
        const std::vector<QVariantList> rows = Rows(sql, binds);
        return rows.empty() || rows.front().isEmpty() ? QVariant() : rows.front().front();
    }

private:
    template <typename TRead>
    void WithQuery(const QString& sql, const QVariantList& binds, TRead&& read) const {
        static std::atomic<int> counter{0};
        const QString name = QStringLiteral("demo-installation#") + QString::number(++counter);
        QString error;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(DatabasePath());
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
            if (db.open()) {
                QSqlQuery query(db);
                bool ok = query.prepare(sql);
                for (const QVariant& value : binds)
                    query.addBindValue(value);
                ok = ok && query.exec();
                if (ok)
                    read(query);
                else
                    error = query.lastError().text();
            } else {
                error = db.lastError().text();
            }
        }
        QSqlDatabase::removeDatabase(name);
        if (!error.isEmpty())
            throw std::runtime_error(("demo database: " + error + " in: " + sql).toStdString());
    }

    TTempAppData FAppData;
};
