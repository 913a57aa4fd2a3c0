#include "MessageExport.h"

#include "CTextLineFile.h"
#include "FileSystem.h"

long WriteMessageLines(const std::string &path, const std::vector<std::string> &lines,
                       std::string &why)
{
    CTextLineFile file;
    if (const auto opened = file.Open(path, CTextLineFile::EightBitText,
                                      CTextLineFile::OpenMode::ReadWriteTruncate)) {
        why = FileSystem::errorText(file.lastError());
        return opened;
    }
    for (const std::string &line : lines) {
        if (const auto written = file.WriteText(line, CTextLineFile::AddLineEnd)) {
            why = FileSystem::errorText(file.lastError());
            return written;
        }
    }
    if (const auto closed = file.Close()) {
        why = FileSystem::errorText(file.lastError());
        return closed;
    }
    return 0;
}
