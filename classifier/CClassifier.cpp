#include "CClassifier.h"

#include "ClassifierObserver.h"
#include "ClassifierPlaceholder.h"
#include "SorrelTexts.h"

#include "common/CTextLineFile.h"
#include "common/Codec.h"
#include "common/CommonTexts.h"
#include "common/ExtractBetween.h"
#include "common/PlaceholderNotifier.h"
#include "common/TextFormat.h"

#include <new>
#include <stdexcept>

namespace {

// The message texts in GBK, converted once.
struct Lines
{
    std::string filePrefix = Gbk::literal(SorrelText::FilePrefix);
    std::string noRoomName = Gbk::literal(SorrelText::NoRoomName);
    std::string noRoomId = Gbk::literal(SorrelText::NoRoomId);
    std::string copyFailed = Gbk::literal(SorrelText::CopyFailed);
    std::string moveFailed = Gbk::literal(SorrelText::MoveFailed);
    std::string failedEnd = Gbk::literal(SorrelText::TransferFailedEnd);
    std::string reasonSeparator = Gbk::literal(SorrelText::ReasonSeparator);
};

const Lines &lines()
{
    static const Lines texts;
    return texts;
}

std::string between(const std::string &text, const std::optional<MarkerSpan> &span)
{
    return span ? text.substr(span->begin, span->end - span->begin) : std::string();
}

bool holdsLineBreak(const std::string &text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

// From the last "." to the end, "." included; nothing without one. A "." byte is never
// part of a GBK double-byte character.
std::string extensionOf(const std::string &fileName)
{
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? std::string() : fileName.substr(dot);
}

} // namespace

void CreateDirectoryPath(const std::string &path)
{
    const std::string normalized = FileSystem::normalize(path);
    for (std::size_t pos = 0; pos < normalized.size(); pos += Gbk::charLength(normalized, pos)) {
        if (normalized[pos] == '/' && pos > 0)
            FileSystem::createDirectory(normalized.substr(0, pos));
    }
}

bool IsSafePathComponent(const std::string &name)
{
    return !name.empty() && name != "." && name != ".."
            && FileSystem::lastSeparator(name) == std::string::npos;
}

CClassifier::CClassifier() = default;
CClassifier::~CClassifier() = default;

void CClassifier::begin(const ClassifierSettings &settings, ClassifierObserver &observer)
{
    settings_ = settings;
    observer_ = &observer;
    for (std::string *marker : {&settings_.roomNameStart, &settings_.roomNameEnd,
                                &settings_.roomIdStart, &settings_.roomIdEnd})
        Gbk::toLowerInPlace(*marker);
    settings_.inputDirectory = WithFinalSeparator(FileSystem::normalize(settings.inputDirectory));
    settings_.outputDirectory = WithFinalSeparator(FileSystem::normalize(settings.outputDirectory));
    fileCount_ = 0;
    successCount_ = 0;
    stopped_ = false;
    madeDirectories_.clear();
    walk_ = std::make_unique<DirectoryWalk>(
            settings_.pattern, [this](const std::string &line) { message(line); },
            [&observer] { return observer.StopRequested(); });
}

void CClassifier::message(const std::string &line)
{
    observer_->AddMessage(EscapeControlCharacters(line));
}

void CClassifier::loadConversion()
{
    // The unknown placeholders of a broken file: a few messages, then their count.
    std::vector<std::string> unknown;
    std::string problem;
    {
        const ScopedPlaceholderNotifier collect(
                [&unknown](const std::string &text) { unknown.push_back(text); });
        problem = rooms_.Load(ResolveClassifierPlaceholder);
    }
    PlaceholderReports reports([](const std::string &text) { NotifyUnknownPlaceholder(text); });
    for (const std::string &text : unknown)
        reports.Report(text);
    reports.Finish();
    if (!problem.empty())
        message(problem);
}

bool CClassifier::walk(const DirectoryWalk::Step &step)
{
    if (observer_->WantsTotal())
        observer_->SetTotal(walk_->CountMatchingFiles(settings_.inputDirectory));
    stopped_ = !walk_->WalkInputDirectory(settings_.inputDirectory,
                                          [&](const std::string &path, const std::string &name) {
                                              step(path, name);
                                              observer_->FileDone(fileCount_);
                                          });
    return !stopped_;
}

void CClassifier::StartClassification(const ClassifierSettings &settings,
                                      ClassifierObserver &observer)
{
    begin(settings, observer);
    if (settings_.outputDirectory.empty() || settings_.inputDirectory.empty()) {
        observer.AddMessage(Gbk::literal(settings_.inputDirectory.empty()
                                                 ? SorrelText::NoInputDirectory
                                                 : SorrelText::NoOutputDirectory));
    } else {
        CreateDirectoryPath(settings_.outputDirectory);
        FileSystem::removeStalePartialFiles(settings_.outputDirectory);
        rooms_.Clear();
        if (settings_.folderMethod == FolderMethod::ByConversionFile)
            loadConversion();
        fileCounter_ = settings_.fileSequenceStart;
        walk([this](const std::string &path, const std::string &name) {
            ClassifyFile(path, name);
        });
        if (stopped_)
            message(Gbk::literal(SorrelText::Stopped));
    }
    observer.AddMessage(FormatText(Gbk::literal(SorrelText::Summary).c_str(),
                                   static_cast<long long>(fileCount_),
                                   static_cast<long long>(successCount_)));
}

bool CClassifier::readPost(const std::string &filePath, const std::string &fileName,
                           std::string &text)
{
    std::error_code error;
    try {
        error = FileSystem::readWholeFile(filePath, text);
    } catch (const std::bad_alloc &) {
        error = std::make_error_code(std::errc::not_enough_memory);
    } catch (const std::length_error &) {
        error = std::make_error_code(std::errc::file_too_large);
    }
    if (error) {
        message(FormatText(Gbk::literal(SorrelText::UnreadableFile).c_str(), fileName.c_str(),
                           FileSystem::errorText(error).c_str()));
        return false;
    }
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    Gbk::toLowerInPlace(text);
    return true;
}

std::string CClassifier::folderFor(const std::string &roomName)
{
    if (const std::string *id = rooms_.FindRoomId(roomName))
        return *id;
    std::string number = std::to_string(folderCounter_);
    rooms_.Append(number, roomName);
    ++folderCounter_;
    return number;
}

void CClassifier::ClassifyFile(const std::string &filePath, const std::string &fileName)
{
    ++fileCount_;
    observer_->ShowSourceFile(EscapeControlCharacters(filePath));
    std::string text;
    if (!readPost(filePath, fileName, text))
        return;

    const auto nameSpan = ExtractBetween(text, settings_.roomNameStart, settings_.roomNameEnd);
    const std::string roomName = between(text, nameSpan);
    const FolderMethod method = settings_.folderMethod;
    if (!nameSpan
        && (method == FolderMethod::ByConversionFile || method == FolderMethod::BySequence
            || settings_.namingRule == NamingRule::ByRoomName)) {
        message(lines().filePrefix + fileName + lines().noRoomName);
        return;
    }

    std::string folder;
    if (method == FolderMethod::ByRoomId) {
        const auto idSpan = ExtractBetween(text, settings_.roomIdStart, settings_.roomIdEnd);
        if (!idSpan) {
            message(lines().filePrefix + fileName + lines().noRoomId);
            return;
        }
        folder = between(text, idSpan);
    } else if (method != FolderMethod::Flat) {
        folder = folderFor(roomName);
    }

    // Names taken from files must stay one level below the output directory.
    bool safe = true;
    std::string targetPath = settings_.outputDirectory;
    if (method != FolderMethod::Flat) {
        safe = IsSafePathComponent(folder);
        targetPath += folder;
        if (safe && madeDirectories_.insert(targetPath).second) {
            FileSystem::createDirectory(targetPath);
            // What a copy killed in an earlier run left behind.
            FileSystem::removeStalePartialFiles(targetPath);
        }
        targetPath += '/';
    }
    switch (settings_.namingRule) {
    case NamingRule::Keep:
        targetPath += fileName;
        break;
    case NamingRule::ByRoomName:
        safe = safe && IsSafePathComponent(roomName);
        targetPath += roomName;
        break;
    case NamingRule::BySequence:
        targetPath += std::to_string(fileCounter_) + extensionOf(fileName);
        ++fileCounter_;
        break;
    }
    observer_->ShowOutputFile(EscapeControlCharacters(targetPath));
    transfer(filePath, targetPath, safe);
}

void CClassifier::transfer(const std::string &filePath, const std::string &targetPath,
                           bool nameIsSafe)
{
    const bool move = settings_.transferMethod == TransferMethod::Move;
    std::error_code error = std::make_error_code(std::errc::invalid_argument);
    // What the run wrote is remembered by identity, so the walk never meets it as input.
    FileSystem::FileIdentity written = walk_->CurrentIdentity();
    bool sameFile = true;
    if (nameIsSafe)
        error = move ? FileSystem::moveFile(filePath, targetPath, &sameFile)
                     : FileSystem::copyFile(filePath, targetPath, &written);
    if (error) {
        // The old words, then what the system says (a full disk is no existing file).
        message((move ? lines().moveFailed : lines().copyFailed) + targetPath + lines().failedEnd
                + lines().reasonSeparator + FileSystem::errorText(error));
        return;
    }
    ++successCount_;
    if (sameFile)
        walk_->SkipFile(written);
    else
        walk_->SkipFile(targetPath);
}

bool CClassifier::ExtractConversionFile(const ClassifierSettings &settings,
                                        ClassifierObserver &observer)
{
    begin(settings, observer);
    namesSeen_.clear();
    if (settings_.outputDirectory.empty() || settings_.inputDirectory.empty()) {
        observer.AddMessage(Gbk::literal(settings_.inputDirectory.empty()
                                                 ? SorrelText::NoInputDirectory
                                                 : SorrelText::NoOutputDirectory));
        return false;
    }
    CreateDirectoryPath(settings_.outputDirectory);
    conversionPath_ = settings_.outputDirectory + CommonText::ConversionFileName;
    const bool existed = FileSystem::exists(conversionPath_);

    // The new file is written beside the old one and replaces it only when complete.
    const std::string temporary = conversionPath_ + ".new";
    conversionFile_ = std::make_unique<CTextLineFile>();
    if (conversionFile_->Open(temporary, CTextLineFile::EightBitText,
                              CTextLineFile::OpenMode::ReadWriteTruncate)
        != 0) {
        message(FormatText(Gbk::literal(SorrelText::ConversionCannotCreate).c_str(),
                           temporary.c_str(),
                           FileSystem::errorText(conversionFile_->lastError()).c_str()));
        conversionFile_.reset();
        return false;
    }
    walk_->SkipFile(temporary);
    conversionWriteFailed_ = false;
    walk([this](const std::string &path, const std::string &name) {
        ExtractConversionEntry(path, name);
    });

    std::error_code error;
    if (conversionFile_->Close() != 0 || conversionWriteFailed_)
        error = conversionFile_->lastError();
    conversionFile_.reset();
    if (!stopped_ && !error)
        error = FileSystem::replaceFile(temporary, conversionPath_);
    if (stopped_ || error) {
        FileSystem::removeFile(temporary);
        message(stopped_ ? Gbk::literal(SorrelText::ConversionStopped)
                         : FormatText(Gbk::literal(SorrelText::ConversionCannotWrite).c_str(),
                                      conversionPath_.c_str(),
                                      FileSystem::errorText(error).c_str()));
        return false;
    }
    if (existed) {
        observer.AddMessage(Gbk::literal(SorrelText::OldOutputFound));
        message(conversionPath_ + Gbk::literal(SorrelText::OldOutputDeleted));
    }
    return true;
}

void CClassifier::ExtractConversionEntry(const std::string &filePath, const std::string &fileName)
{
    ++fileCount_;
    observer_->ShowSourceFile(EscapeControlCharacters(filePath));
    std::string text;
    if (!readPost(filePath, fileName, text))
        return;
    const auto nameSpan = ExtractBetween(text, settings_.roomNameStart, settings_.roomNameEnd);
    const std::string roomName = between(text, nameSpan);
    if (nameSpan && namesSeen_.count(roomName))
        return;
    const auto idSpan = ExtractBetween(text, settings_.roomIdStart, settings_.roomIdEnd);
    const std::string roomId = between(text, idSpan);
    observer_->ShowOutputFile(EscapeControlCharacters(conversionPath_));
    // Only whole lines that read back as they were written: both parts, no line break,
    // and no "<" in the id, where the reader splits the line.
    if (roomName.empty() || roomId.empty() || holdsLineBreak(roomName) || holdsLineBreak(roomId)
        || roomId.find('<') != std::string::npos)
        return;
    if (conversionFile_->WriteText(roomId + '<' + roomName, CTextLineFile::AddLineEnd) != 0)
        conversionWriteFailed_ = true;
    namesSeen_.insert(roomName);
}
