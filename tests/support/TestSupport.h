#pragma once

// Shared helpers of the test programs: temporary program folders, GBK files.

#include <QString>
#include <QTemporaryDir>

#include <string>

// A temporary folder that stands in for the program's directory, with Configs/.
class TempAppDir
{
public:
    TempAppDir();
    ~TempAppDir();
    TempAppDir(const TempAppDir &) = delete;
    TempAppDir &operator=(const TempAppDir &) = delete;

    bool isValid() const { return dir_.isValid(); }
    std::string path() const; // GBK, without final "/"
    std::string file(const std::string &relative) const; // GBK path below it
    QString qtPath() const { return dir_.path(); }

    // Writes bytes to a file below the folder, creating its directories.
    void write(const std::string &relative, const std::string &bytes) const;
    std::string read(const std::string &relative) const;

private:
    QTemporaryDir dir_;
};

// UTF-8 literal to GBK bytes, for test data.
std::string gbk(const char *utf8);
// GBK bytes to readable text for failure messages.
QString show(const std::string &gbkText);
// A title of that many Chinese characters (all in GBK) with no repeats that a database
// could compress away, as real titles are: 3 bytes each in UTF-8.
QString chineseTitle(int characters);

// Writes bytes to a path (UTF-8 name on disk), creating its directories.
void writeBytes(const QString &path, const std::string &bytes);
std::string readBytes(const QString &path);
