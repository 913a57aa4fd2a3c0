#pragma once

// What a downloaded post page may load. Nothing from the network; of the local files
// only the post itself, when it really lies in the archive folder it was found in (or,
// with none known, in the folder it was looked up in), and, below its own folder or
// that archive folder, the resources a saved page needs (stylesheets, images, fonts,
// the XSL of an XML post). Symbolic links are resolved on both sides, so a link inside
// the archive cannot point out of it. Paths are compared as disk bytes: a name that is
// not valid UTF-8 (raw GBK) must still match itself.

#include <QUrl>

#include <string>
#include <vector>

// The engine requests the XSL of an XML post, and what it imports, as stylesheets.
enum class PostResource { Document, Stylesheet, Image, Font, Other };

// A file URL for a path given as disk bytes; every byte outside the unreserved set
// is percent-encoded, so raw GBK names survive.
QUrl FileUrlOfDiskPath(const std::string &diskPath);
// The disk bytes of a file URL without host; empty for anything else.
std::string DiskPathOfFileUrl(const QUrl &url);

class PostSandbox
{
public:
    PostSandbox() = default;
    // postPath and archiveFolder are GBK paths; archiveFolder may be empty.
    PostSandbox(const std::string &postPath, const std::string &archiveFolder);

    // Whether the post's real location lies in its area; nothing of it loads otherwise.
    bool HoldsDocument() const { return holdsDocument_; }
    // The address to load for the post: its real location.
    const QUrl &url() const { return url_; }
    // The folders (resolved disk bytes) below which resources may load.
    const std::vector<std::string> &roots() const { return roots_; }

    // Whether a top-level navigation shows the post itself (an anchor is the same page).
    bool IsDocument(const QUrl &request) const;
    bool Allows(const QUrl &request, PostResource kind) const;

private:
    std::string document_; // resolved disk bytes, or as given when it does not exist
    bool holdsDocument_ = false;
    std::vector<std::string> roots_;
    QUrl url_;
};
