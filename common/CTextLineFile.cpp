#include "CTextLineFile.h"

#include "FileSystem.h"
#include "ResultCodes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr std::size_t ReadChunk = 50;
constexpr std::size_t FlushThreshold = 256 * 1024;

ssize_t readSome(int fd, char *buffer, std::size_t size)
{
    ssize_t n;
    do {
        n = ::read(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
}
} // namespace

CTextLineFile::~CTextLineFile()
{
    Close();
}

std::int32_t CTextLineFile::Open(const std::string &path, std::uint32_t options, OpenMode mode)
{
    path_ = path;
    options_ = options;
    if (isOpen())
        return std::int32_t(ResultCode::GeneralFailure);
    int flags = O_RDONLY;
    if (mode != OpenMode::ReadOnly) {
        if (FileSystem::isReadOnly(path))
            FileSystem::clearReadOnly(path);
        flags = O_RDWR | O_CREAT;
        if (mode == OpenMode::ReadWriteTruncate)
            flags |= O_TRUNC;
    }
    fd_ = FileSystem::openDescriptor(path, flags, lastError_);
    if (fd_ < 0)
        return std::int32_t(ResultCode::CannotOpenFile);
    struct stat st;
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        lastError_ = std::make_error_code(std::errc::is_a_directory);
        return std::int32_t(ResultCode::CannotOpenFile);
    }
    return std::int32_t(ResultCode::Success);
}

bool CTextLineFile::flush()
{
    if (pending_.empty())
        return true;
    if (::lseek(fd_, 0, SEEK_END) < 0) {
        lastError_ = std::error_code(errno, std::generic_category());
        pending_.clear();
        return false;
    }
    const char *data = pending_.data();
    std::size_t left = pending_.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            lastError_ = std::error_code(errno, std::generic_category());
            pending_.clear();
            return false;
        }
        data += n;
        left -= std::size_t(n);
    }
    pending_.clear();
    return true;
}

std::int32_t CTextLineFile::WriteText(const char *text, std::uint32_t flags)
{
    if (!isOpen() || !text)
        return std::int32_t(ResultCode::GeneralFailure);
    const std::size_t n = std::strlen(text);
    if (n == 0)
        return std::int32_t(ResultCode::Success);
    for (const char *p = text, *end = text + n; p < end;) {
        const char *lf = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
        if (!lf) {
            pending_.append(p, end);
            break;
        }
        pending_.append(p, lf);
        pending_ += "\r\n";
        p = lf + 1;
    }
    if (flags & AddLineEnd)
        pending_ += "\r\n";
    if (pending_.size() >= FlushThreshold && !flush())
        return std::int32_t(ResultCode::GeneralFailure);
    return std::int32_t(ResultCode::Success);
}

std::int32_t CTextLineFile::ReadLine(char *buffer, std::int32_t &length)
{
    const std::int32_t capacity = length;
    if (!isOpen() || !buffer || capacity < 1) {
        length = -1;
        return LastLine;
    }
    if (!flush()) {
        length = -1;
        return LastLine;
    }
    const off_t start = ::lseek(fd_, 0, SEEK_CUR);
    struct stat st;
    const off_t fileLength = ::fstat(fd_, &st) == 0 ? st.st_size : start;
    const std::size_t limit = std::size_t(capacity - 1);

    char chunk[ReadChunk];
    std::size_t stored = 0;
    off_t consumed = 0; // bytes of the file taken by this line
    bool anyData = false;
    bool complete = false;
    std::int32_t status = LineRead;

    while (!complete) {
        const ssize_t got = readSome(fd_, chunk, sizeof chunk);
        if (got <= 0)
            break; // end of data, also when the file shrank while it was read
        anyData = true;
        std::size_t i = 0;
        for (; i < std::size_t(got); ++i) {
            const char c = chunk[i];
            if (c == '\n') {
                ++consumed;
                if (stored > 0 && buffer[stored - 1] == '\r')
                    --stored;
                complete = true;
                ++i;
                break;
            }
            if (stored == limit) {
                // The line does not fit; a CR LF right here means it fitted exactly.
                char next[2] = {c, 0};
                std::size_t have = std::size_t(got) - i;
                if (have >= 2) {
                    next[1] = chunk[i + 1];
                } else {
                    ::lseek(fd_, start + consumed, SEEK_SET);
                    char pair[2];
                    have = std::size_t(std::max<ssize_t>(0, readSome(fd_, pair, 2)));
                    next[0] = have > 0 ? pair[0] : 0;
                    next[1] = have > 1 ? pair[1] : 0;
                }
                if (have >= 2 && next[0] == '\r' && next[1] == '\n')
                    consumed += 2;
                else
                    status = LineTooLong;
                complete = true;
                break;
            }
            buffer[stored++] = c;
            ++consumed;
        }
    }
    ::lseek(fd_, start + consumed, SEEK_SET);

    if (!anyData) {
        length = -1;
        return LastLine;
    }
    if (start + consumed >= fileLength)
        status = LastLine;
    buffer[stored] = '\0';
    length = std::int32_t(stored);
    return status;
}

std::int32_t CTextLineFile::ReadLine(std::string &line, std::int32_t capacity, std::int32_t &length)
{
    line.assign(std::size_t(std::max(capacity, 1)), '\0');
    length = capacity;
    const std::int32_t status = ReadLine(line.data(), length);
    line.resize(length > 0 ? std::size_t(length) : 0);
    return status;
}

std::int32_t CTextLineFile::Close()
{
    if (!isOpen())
        return 1;
    const bool written = flush();
    const bool closed = ::close(fd_) == 0;
    if (!closed && written)
        lastError_ = std::error_code(errno, std::generic_category());
    fd_ = -1;
    return written && closed ? std::int32_t(ResultCode::Success)
                             : std::int32_t(ResultCode::GeneralFailure);
}
