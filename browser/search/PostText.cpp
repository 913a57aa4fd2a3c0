#include "PostText.h"

#include "PostDecoding.h"
#include "SearchTexts.h"

#include "common/Codec.h"
#include "common/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <system_error>

namespace BodyText {

namespace {

constexpr std::size_t ChunkBytes = 1 << 20;
constexpr std::size_t DeclarationScan = 4096;
constexpr std::size_t BinaryScan = 8192;
constexpr std::size_t Utf8Scan = 65536;
constexpr std::size_t MinBinaryRun = 4;

std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    }
    return out;
}

// The name after "charset=" or "encoding=" in the first bytes, or "".
std::string declaredCharset(std::string_view head)
{
    const std::string lower = lowerAscii(head.substr(0, DeclarationScan));
    for (const char *key : {"encoding=", "charset="}) {
        std::size_t at = lower.find(key);
        if (at == std::string::npos)
            continue;
        at += std::char_traits<char>::length(key);
        while (at < lower.size() && (lower[at] == '"' || lower[at] == '\'' || lower[at] == ' '))
            ++at;
        std::size_t end = at;
        while (end < lower.size()
               && (std::isalnum(static_cast<unsigned char>(lower[end])) || lower[end] == '-'
                   || lower[end] == '_' || lower[end] == '.' || lower[end] == ':'))
            ++end;
        if (end > at)
            return lower.substr(at, end - at);
    }
    return {};
}

// Valid UTF-8 with at least one character beyond ASCII, ignoring a sequence cut off at
// the end of the sample.
bool looksUtf8(std::string_view head)
{
    std::string_view sample = head.substr(0, Utf8Scan);
    std::size_t end = sample.size();
    std::size_t k = end;
    std::size_t continuation = 0;
    while (k > 0 && continuation < 3
           && (static_cast<unsigned char>(sample[k - 1]) & 0xC0) == 0x80) {
        --k;
        ++continuation;
    }
    if (k > 0) {
        const auto lead = static_cast<unsigned char>(sample[k - 1]);
        const std::size_t needed = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        if (needed > continuation)
            end = k - 1;
    }
    sample = sample.substr(0, end);
    const bool beyondAscii = std::any_of(sample.begin(), sample.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x80;
    });
    return beyondAscii && Gbk::isValidUtf8(sample);
}

bool isGbkFamily(const std::string &name)
{
    return name == "gb2312" || name == "gbk" || name == "x-gbk" || name == "cp936"
            || name == "windows-936" || name == "gb18030" || name == "euc-cn" || name == "csgb2312"
            || name == "chinese";
}

} // namespace

std::string SniffPostCharset(std::string_view head, bool &binary)
{
    binary = false;
    if (head.starts_with("\xEF\xBB\xBF"))
        return "UTF-8";
    if (head.starts_with("\xFF\xFE"))
        return "UTF-16LE";
    if (head.starts_with("\xFE\xFF"))
        return "UTF-16BE";
    if (head.substr(0, BinaryScan).find('\0') != std::string_view::npos) {
        binary = true;
        return {};
    }
    // Pages saved again by a browser often keep their old declaration over UTF-8 bytes,
    // and GBK text is practically never valid UTF-8: the bytes decide first.
    if (looksUtf8(head))
        return "UTF-8";
    const std::string declared = declaredCharset(head);
    if (declared.empty() || isGbkFamily(declared) || declared == "utf-8" || declared == "utf8")
        return "GBK";
    if (QStringDecoder(declared.c_str()).isValid())
        return declared;
    return "GBK";
}

PostTextReader::PostTextReader(bool keepDisplay)
    : builder_(MaxIndexedChars, MaxWordChars, keepDisplay)
    , normaliser_(builder_)
    , scanner_(normaliser_, keepDisplay)
{
}

PostTextReader::~PostTextReader() = default;

void PostTextReader::start(std::string_view head)
{
    started_ = true;
    charset_ = SniffPostCharset(head, binary_);
    if (binary_)
        return;
    const std::string name = charset_ == "GBK" ? "GB18030" : charset_;
    decoder_ = std::make_unique<QStringDecoder>(name.c_str());
    if (!decoder_->isValid()) {
        charset_ = "GBK";
        decoder_ = std::make_unique<QStringDecoder>("GB18030");
    }
}

void PostTextReader::feedBinary(std::string_view bytes)
{
    for (char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        if ((b >= 0x20 && b < 0x7F) || b == '\t') {
            asciiRun_ += byte;
            continue;
        }
        if (asciiRun_.size() >= MinBinaryRun) {
            scanner_.feedPlain(QString::fromLatin1(asciiRun_.data(), qsizetype(asciiRun_.size())));
            scanner_.feedPlain(u" ");
        }
        asciiRun_.clear();
    }
}

void PostTextReader::feed(std::string_view bytes)
{
    if (!started_)
        start(bytes);
    if (binary_) {
        feedBinary(bytes);
        return;
    }
    const QString chunk = decoder_->decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    scanner_.feed(chunk);
}

void PostTextReader::finish()
{
    if (binary_)
        feedBinary(std::string_view("\n", 1));
    scanner_.finish();
    builder_.finish();
}

} // namespace BodyText

using BodyText::PostTextReader;

namespace {

PostText resultOf(PostTextReader &reader)
{
    reader.finish();
    PostText text;
    text.truncated = reader.full();
    text.text = std::move(reader.builder().text());
    text.binary = reader.binary();
    text.charset = reader.binary() ? std::string() : reader.charset();
    return text;
}

std::string withArgs(const char *utf8, const std::string &a, const std::string &b = {})
{
    std::string text = Gbk::literal(utf8);
    if (const auto at = text.find("%1"); at != std::string::npos)
        text.replace(at, 2, a);
    if (const auto at = text.find("%2"); at != std::string::npos)
        text.replace(at, 2, b);
    return text;
}

// Opens without waiting (a FIFO never blocks) and refuses anything but a regular file.
int openPostFile(const std::string &path, struct stat &info, std::string &problem)
{
    std::error_code error;
    const int fd = FileSystem::openDescriptor(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC, error);
    if (fd < 0) {
        problem = withArgs(SearchTexts::FileOpenFailed, path, FileSystem::errorText(error));
        return -1;
    }
    if (::fstat(fd, &info) != 0) {
        problem = withArgs(SearchTexts::FileReadFailed, path,
                           FileSystem::errorText(std::error_code(errno, std::generic_category())));
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        problem = withArgs(SearchTexts::NotRegularFile, path);
        ::close(fd);
        return -1;
    }
    return fd;
}

PostFileStamp stampOf(const struct stat &info)
{
    PostFileStamp stamp;
    stamp.size = info.st_size;
    stamp.modified = (long long)info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
    return stamp;
}

} // namespace

PostText ExtractPostText(std::string_view bytes)
{
    PostTextReader reader;
    constexpr std::size_t slice = 1 << 20;
    for (std::size_t at = 0; at < bytes.size() && !reader.full(); at += slice)
        reader.feed(bytes.substr(at, slice));
    return resultOf(reader);
}

bool ExtractPostFile(const std::string &path, PostText &text, PostFileStamp &stamp,
                     std::string &problem)
{
    struct stat info
    {
    };
    const int fd = openPostFile(path, info, problem);
    if (fd < 0)
        return false;
    stamp = stampOf(info);
    PostTextReader reader;
    std::string buffer(BodyText::ChunkBytes, '\0');
    bool ok = true;
    while (!reader.full()) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            problem = withArgs(
                    SearchTexts::FileReadFailed, path,
                    FileSystem::errorText(std::error_code(errno, std::generic_category())));
            ok = false;
            break;
        }
        if (n == 0)
            break;
        reader.feed(std::string_view(buffer.data(), std::size_t(n)));
    }
    ::close(fd);
    if (ok)
        text = resultOf(reader);
    return ok;
}

bool StampPostFile(const std::string &path, PostFileStamp &stamp, std::string &problem)
{
    struct stat info
    {
    };
    const int fd = openPostFile(path, info, problem);
    if (fd < 0)
        return false;
    stamp = stampOf(info);
    ::close(fd);
    return true;
}
