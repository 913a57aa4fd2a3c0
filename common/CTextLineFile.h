#pragma once

// Line-oriented text file: appends GBK text with CR LF line ends and reads lines
// back. Writes are buffered and reach the disk at the latest when the file is closed.

#include <cstdint>
#include <string>
#include <system_error>

class CTextLineFile
{
public:
    enum class OpenMode {
        ReadWriteKeep, // create if missing, keep the contents
        ReadWriteTruncate, // create, empty an existing file
        ReadOnly, // an existing file, its attributes left alone
    };

    static constexpr std::uint32_t EightBitText = 0; // the only option in use
    static constexpr std::uint32_t AddLineEnd = 2; // WriteText flag

    // ReadLine statuses
    static constexpr std::int32_t LineRead = 0;
    static constexpr std::int32_t LastLine = 1;
    static constexpr std::int32_t LineTooLong = 111;

    CTextLineFile() = default;
    ~CTextLineFile();
    CTextLineFile(const CTextLineFile &) = delete;
    CTextLineFile &operator=(const CTextLineFile &) = delete;

    // 0, 31 (a file is open already) or 2401 (cannot be opened; see lastError).
    std::int32_t Open(const std::string &path, std::uint32_t options, OpenMode mode);

    // Appends text up to its terminating zero, every LF written as CR LF; flag 2 adds
    // CR LF. 0, or 31 when no file is open or the data cannot be written.
    std::int32_t WriteText(const char *text, std::uint32_t flags);
    std::int32_t WriteText(const std::string &text, std::uint32_t flags)
    {
        return WriteText(text.c_str(), flags);
    }

    // length: in, the buffer's capacity; out, the bytes stored, or -1 at the end of
    // the file. Returns LineRead, LastLine or LineTooLong.
    std::int32_t ReadLine(char *buffer, std::int32_t &length);
    // The same with a capacity of `capacity` bytes; line is empty at the end.
    std::int32_t ReadLine(std::string &line, std::int32_t capacity, std::int32_t &length);

    // 1 when no file was open; 31 when buffered text could not be written; else 0.
    std::int32_t Close();

    bool isOpen() const { return fd_ >= 0; }
    const std::string &path() const { return path_; }
    const std::error_code &lastError() const { return lastError_; }

private:
    bool flush();

    int fd_ = -1;
    std::string path_;
    std::uint32_t options_ = 0;
    std::string pending_; // text written but not yet on disk
    std::error_code lastError_;
};
