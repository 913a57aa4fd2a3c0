#pragma once

// The classification run and the conversion-file extraction of Sorrel, without widgets.
// One object lives as long as the program: its folder counter carries over from one
// run to the next.

#include "ClassifierSettings.h"
#include "DirectoryWalk.h"

#include "common/FileSystem.h"
#include "common/RoomConversion.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class ClassifierObserver;
class CTextLineFile;

class CClassifier
{
public:
    static constexpr std::int64_t FirstFolderNumber = 100;

    CClassifier();
    ~CClassifier();
    CClassifier(const CClassifier &) = delete;
    CClassifier &operator=(const CClassifier &) = delete;

    // Classifies every matching file below the input directory and ends with the
    // summary line. The settings are taken as given (not yet lower-cased).
    void StartClassification(const ClassifierSettings &settings, ClassifierObserver &observer);

    // Writes RoomID-Name.txt into the output directory from the files' markers. Returns
    // true when the new file replaced the old one.
    bool ExtractConversionFile(const ClassifierSettings &settings, ClassifierObserver &observer);

    std::int64_t folderCounter() const { return folderCounter_; }
    std::int64_t fileCount() const { return fileCount_; }
    std::int64_t successCount() const { return successCount_; }
    bool wasStopped() const { return stopped_; }

private:
    void ClassifyFile(const std::string &filePath, const std::string &fileName);
    // A line of the message list, its control characters escaped: one line per message.
    void message(const std::string &line);
    void loadConversion();
    void ExtractConversionEntry(const std::string &filePath, const std::string &fileName);

    void begin(const ClassifierSettings &settings, ClassifierObserver &observer);
    bool readPost(const std::string &filePath, const std::string &fileName, std::string &text);
    std::string folderFor(const std::string &roomName);
    void transfer(const std::string &filePath, const std::string &targetPath, bool nameIsSafe);
    bool walk(const DirectoryWalk::Step &step);

    ClassifierSettings settings_; // markers lower-cased, directories ending in "/"
    ClassifierObserver *observer_ = nullptr;
    std::unique_ptr<DirectoryWalk> walk_;

    RoomConversionTable rooms_; // room name -> folder name
    std::int64_t folderCounter_ = FirstFolderNumber;
    std::int64_t fileCounter_ = 0;
    std::int64_t fileCount_ = 0;
    std::int64_t successCount_ = 0;
    bool stopped_ = false;
    std::unordered_set<std::string> madeDirectories_;

    // Extraction state.
    std::unordered_set<std::string> namesSeen_;
    std::unique_ptr<CTextLineFile> conversionFile_;
    std::string conversionPath_;
    bool conversionWriteFailed_ = false;
};

// Creates every directory level named before a separator in path; failures (such as
// a directory that exists) are ignored. A last component without a separator after
// it is not created.
void CreateDirectoryPath(const std::string &path);

// Whether a name taken from a file can be used as one path component below the output
// directory: not empty, not "." or "..", and no separator of its own.
bool IsSafePathComponent(const std::string &name);
