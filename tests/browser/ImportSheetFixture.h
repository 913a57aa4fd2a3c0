#pragma once

// A program folder with a tree configuration and a presets file, a room model read
// from it, a stand-in main window and the import sheet over them.

#include "TestSupport.h"

#include "browser/import/CImportDataSheet.h"
#include "browser/rooms/RoomModel.h"

#include <QMainWindow>

#include <memory>
#include <string>

inline constexpr const char SheetTreeConfig[] = R"(<?xml version="1.0" encoding="GBK"?>
<r>
  <数据库连接字符串>Provider=SQLite;Data Source=|APP_PATH|\Data\T.db</数据库连接字符串>
  <帖子类型 TABLE="TA" ROOMID="1">甲区<帖子类型 ROOMID="12">乙<帖子类型 ROOMID="123">丙</帖子类型></帖子类型><帖子类型 ROOMID="13">丁</帖子类型><帖子属性范围>1 4294967295 |APP_PATH|\Import\甲区\|ROOMNAME|\|ID|.htm</帖子属性范围></帖子类型>
  <帖子类型 TABLE="TB" ROOMID="2">戊<帖子类型 ROOMID="21">己</帖子类型></帖子类型>
</r>
)";

// Presets A, B* and C: each names a few keys so that which one was applied shows.
inline constexpr const char ThreePresets[] = R"(<?xml version="1.0" encoding="GBK"?>
<列表>
  <下拉列表填充><下拉列表项>甲式A</下拉列表项><下拉列表项>乙式B*</下拉列表项><下拉列表项>丙式C</下拉列表项></下拉列表填充>
  <具体内容项0><EdFileFormat>*.a</EdFileFormat><RadioRoomID>1</RadioRoomID><EdRoomIDStart>&lt;a&gt;</EdRoomIDStart><EdRoomIDEnd>&lt;/a&gt;</EdRoomIDEnd></具体内容项0>
  <具体内容项1><EdFileFormat>*.b</EdFileFormat><ImportTable>table_b</ImportTable><RadioRoomID>0</RadioRoomID><EdRoomIDStart>RB</EdRoomIDStart><EdRoomIDEnd>rb-end</EdRoomIDEnd><EdTitleStart><![CDATA[<TITLE>]]></EdTitleStart><EdTitleEnd>|NEWLINE||ENTER|&lt;/td&gt;</EdTitleEnd><UsernameGet>1</UsernameGet><EdUserStart>u1</EdUserStart><EdUserEnd>u2</EdUserEnd></具体内容项1>
  <具体内容项2><EdFileFormat>*.c</EdFileFormat><RadioRoomID>7</RadioRoomID><RadioTopicid>0</RadioTopicid><RadioTitle>1</RadioTitle><EdTopicidAutogrowStart></EdTopicidAutogrowStart><TimeGet>1</TimeGet><EdTimeStart>t1</EdTimeStart></具体内容项2>
</列表>
)";

class SheetFixture
{
public:
    explicit SheetFixture(const char *presets = ThreePresets)
    {
        dir.write("Configs/InitTree.xml", gbk(SheetTreeConfig));
        dir.write("Configs/XmlListInfo.xml", gbk(presets));
        rooms.LoadTreeConfig(dir.file("Configs/InitTree.xml"));
        window.setWindowTitle(QStringLiteral("main"));
        window.resize(400, 300);
    }

    // A sheet as the command handler makes it (selected room: roomid and table).
    std::unique_ptr<CImportDataSheet> makeSheet(const std::string &roomid = std::string(),
                                                const std::string &table = std::string())
    {
        auto sheet = std::make_unique<CImportDataSheet>(&window);
        sheet->SetImportSource(rooms.GetConnectionString(), &rooms);
        if (!roomid.empty())
            sheet->SetImportTarget(roomid, table, SelectedRoomImport);
        return sheet;
    }

    TempAppDir dir;
    RoomModel rooms;
    QMainWindow window;
};
