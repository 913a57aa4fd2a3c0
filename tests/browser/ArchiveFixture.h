#pragma once

// A program folder with a small archive: rooms 甲区 (table TA) with 乙 and 丙, post
// files under posts/, and the pages of the post panel. No start room, so nothing is
// listed until the user lists a room. Screenshots go to QUILLERY_SCREENSHOTS when set.

#include "TestSupport.h"

#include "browser/CLeftTreeView.h"
#include "browser/CMainFrame.h"
#include "browser/db/CAdoManager.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <memory>

inline const char *const ArchiveConfig = R"(<?xml version="1.0" encoding="GBK"?>
<r>
  <数据库连接字符串>Provider=SQLite;Data Source=|APP_PATH|\Data\T.db</数据库连接字符串>
  <帖子类型 TABLE="TA" ROOMID="1">甲区<帖子类型 ROOMID="12">乙</帖子类型><帖子类型 ROOMID="13">丙</帖子类型>
    <帖子属性范围>1 1000 |APP_PATH|\posts\|ID|.htm</帖子属性范围>
    <帖子属性范围>1001 2000 |APP_PATH|\xml\|ID|.xml</帖子属性范围>
  </帖子类型>
</r>
)";

struct ArchiveFixture
{
    std::unique_ptr<TempAppDir> dir = std::make_unique<TempAppDir>();

    ArchiveFixture()
    {
        dir->write("Configs/InitTree.xml", gbk(ArchiveConfig));
        dir->write("Configs/NoPost.Bk", gbk("<html><body>缺少 |NOT_FOUND_PATH|</body></html>"));
        dir->write("Configs/Add0Post.htm", "<html><body>start</body></html>");
        for (int id : {1, 101, 102})
            dir->write("posts/" + std::to_string(id) + ".htm",
                       gbk("<html><head><meta charset=\"gbk\"></head><body><p>帖子 ")
                               + std::to_string(id) + "</p></body></html>");
    }

    // count posts in room 12 (乙), IDs from 1, with all six columns.
    static bool fill(CMainFrame &frame, int count)
    {
        CAdoManager ado;
        if (ado.OpenAdoConnection(frame.roomTree()->rooms().GetConnectionString()) != 0)
            return false;
        for (int i = 1; i <= count; ++i) {
            const std::string sql =
                    "insert into TA (topicid, title, roomid, username, reply, createtime) values ("
                    + std::to_string(i) + ", '" + gbk("一个相当长的帖子标题") + std::to_string(i)
                    + "', 12, 'user', " + std::to_string(i % 4) + ", '2001-02-03 04:05:06')";
            if (ado.ExecuteSql(sql, CAdoManager::CommandText) != 0)
                return false;
        }
        ado.CloseAdoConnection();
        return true;
    }
};

// The whole screen, for a person to look at; only when QUILLERY_SCREENSHOTS names a folder.
inline void screenshot(const QString &name)
{
    const QString folder = qEnvironmentVariable("QUILLERY_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    QTest::qWait(300);
    QGuiApplication::primaryScreen()->grabWindow(0).save(folder + QLatin1Char('/') + name);
}
