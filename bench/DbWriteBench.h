#pragma once

// The writers' side of the database benchmark: small bound queries, single-row inserts
// beside a listed room, inserts in transactions.

#include <QString>

#include <string>

struct WriteFigures
{
    double smallMedianUs = 0; // "select 1 from posts where topicid = ?", record-set form
    double smallPerConnectionUs = 0; // the same with a connection of its own per query
    double insertIdleUs = 0; // bound single-row inserts, each committed on its own
    double insertListedUs = 0; // the same while a room is listed through the pager
    double walListedMb = -1; // SQLite: the largest WAL file during the listed run
    double transactionRowsPerSecond = 0; // inserts in transactions of 2,000 rows
    double importFilesPerSecond = 0; // duplicate check + insert, transactions of 2,000
};

// Runs on the table "posts" (topicids from 1e9 up are used and removed again). roomQuery
// is the room that is listed during the second insert run.
WriteFigures MeasureWrites(const std::string &connection, const std::string &roomQuery,
                           const QString &walFile, int inserts);
