#pragma once

// Reading a post's bytes as Unicode, a chunk at a time (PostText.h says how the
// encoding is chosen), and feeding them through the visible-text pipeline.

#include "VisibleText.h"

#include <QStringDecoder>

#include <memory>
#include <string>
#include <string_view>

namespace BodyText {

class PostTextReader
{
public:
    explicit PostTextReader(bool keepDisplay = false);
    ~PostTextReader();

    // The first call decides the encoding from its bytes (give it at least the first
    // 64 KB when the post has them).
    void feed(std::string_view bytes);
    bool full() const { return builder_.full(); }
    void finish();

    NormalTextBuilder &builder() { return builder_; }
    const QString &display() const { return scanner_.display(); }
    bool binary() const { return binary_; }
    const std::string &charset() const { return charset_; }

private:
    void start(std::string_view head);
    void feedBinary(std::string_view bytes);

    NormalTextBuilder builder_;
    Normaliser normaliser_;
    VisibleTextScanner scanner_;
    std::unique_ptr<QStringDecoder> decoder_;
    bool started_ = false;
    bool binary_ = false;
    std::string charset_;
    std::string asciiRun_; // binary posts: the printable run so far
};

// The encoding a post's first bytes declare or show ("" for binary); exposed for tests.
std::string SniffPostCharset(std::string_view head, bool &binary);

} // namespace BodyText
