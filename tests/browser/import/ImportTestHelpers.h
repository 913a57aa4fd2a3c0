#pragma once

// Shared pieces of the import tests: a sink that records, a program folder with a tree
// configuration, post files, and reading a post table back.

#include "TestDatabase.h"
#include "TestSupport.h"

#include "browser/db/CAdoManager.h"
#include "browser/import/ImportRun.h"
#include "browser/import/ImportSink.h"
#include "browser/rooms/RoomModel.h"
#include "common/Codec.h"

#include <QTest>

#include <functional>
#include <string>
#include <vector>

class RecordingSink : public ImportSink
{
public:
    void ImportStatus(const std::string &text) override
    {
        statuses.push_back(text);
        if (onStatus)
            onStatus(statuses.size());
    }
    void ImportMessage(const std::string &line) override { lines.push_back(line); }
    void ImportMessageBox(const std::string &text, const std::string &details) override
    {
        boxes.push_back(text);
        boxDetails.push_back(details);
    }

    std::vector<std::string> statuses;
    std::vector<std::string> lines;
    std::vector<std::string> boxes;
    std::vector<std::string> boxDetails;
    std::function<void(std::size_t)> onStatus;
};

// A tree configuration whose top-level room "甲" (roomid 1) owns `table`, with the
// child rooms 11 "乙" and 12 "丙", and posts at |APP_PATH|/in/|ROOMID|/|ID|.htm.
inline std::string
treeConfig(const std::string &table,
           const std::string &pathTemplate = "|APP_PATH|\\in\\|ROOMID|\\|ID|.htm")
{
    return gbk(("<?xml version=\"1.0\" encoding=\"GBK\"?><K>"
                "<帖子类型 TABLE=\""
                + table
                + "\" ROOMID=\"1\">甲"
                  "<帖子类型 ROOMID=\"11\">乙</帖子类型><帖子类型 ROOMID=\"12\">丙</帖子类型>"
                  "<帖子属性范围>1 4294967295 "
                + pathTemplate
                + "</帖子属性范围>"
                  "</帖子类型></K>")
                       .c_str());
}

// An HTML post as the tests write them; every field between simple markers.
inline std::string postPage(const std::string &title, const std::string &roomid = "11",
                            const std::string &user = "user", const std::string &reply = "3",
                            const std::string &time = "2001-02-03 04:05:06")
{
    return "<html><Room>" + roomid + "</Room><TITLE>" + title + "</TITLE><User>" + user
            + "</User><Reply>" + reply + "</Reply><Time>" + time + "</Time></html>";
}

inline ImportSettings pageSettings(const std::string &connection, const std::string &folder,
                                   const std::string &table = "posts")
{
    ImportSettings settings = DefaultImportSettings();
    settings.connectionString = connection;
    settings.importDirectory = folder;
    settings.table = table;
    settings.pathCheck = false;
    settings.topicidMode = TopicidMode::FileName;
    settings.roomid = {"<room>", "</room>"};
    settings.title = {"<title>", "</title>"};
    settings.username = {true, {"<user>", "</user>"}};
    settings.reply = {true, {"<reply>", "</reply>"}};
    settings.createtime = {true, {"<time>", "</time>"}};
    return settings;
}

struct PostRow
{
    std::string topicid, title, roomid, username, reply, createtime;
    bool operator==(const PostRow &) const = default;
};

inline std::vector<PostRow> readPosts(const std::string &connection, const std::string &table)
{
    std::vector<PostRow> rows;
    CAdoManager ado;
    if (ado.OpenAdoConnection(connection) != 0)
        return rows;
    std::unique_ptr<CAdoRecordset> set;
    if (ado.ExecuteSql("select topicid, title, roomid, username, reply, createtime from " + table
                               + " order by topicid",
                       set, CAdoManager::CommandText)
        == 0) {
        for (; set->IsOpen() && !set->IsEOF(); set->MoveNext()) {
            rows.push_back({set->Value(0).Text(), set->Value(1).Text(), set->Value(2).Text(),
                            set->Value(3).Text(), set->Value(4).Text(), set->Value(5).Text()});
        }
    }
    set.reset();
    ado.CloseAdoConnection();
    return rows;
}

inline long long countPosts(const std::string &connection, const std::string &table)
{
    CAdoManager ado;
    if (ado.OpenAdoConnection(connection) != 0)
        return -1;
    std::unique_ptr<CAdoRecordset> set;
    long long count = -1;
    if (ado.ExecuteSql("select count(*) from " + table, set, CAdoManager::CommandText) == 0)
        set->Value(0).ToInt64(count);
    set.reset();
    ado.CloseAdoConnection();
    return count;
}

inline std::vector<QString> shown(const std::vector<std::string> &lines)
{
    std::vector<QString> out;
    for (const std::string &line : lines)
        out.push_back(Gbk::toQString(line));
    return out;
}

#ifndef QUILLERY_EXECUTE
#define QUILLERY_EXECUTE(db, ...)                                                                  \
    do {                                                                                           \
        QString executeError;                                                                      \
        QVERIFY2((db)->execute({__VA_ARGS__}, executeError), qPrintable(executeError));            \
    } while (false)
#endif
