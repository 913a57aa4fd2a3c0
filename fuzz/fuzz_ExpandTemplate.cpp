// Template expansion over arbitrary bytes with each program's resolver.
// Input: one byte choosing the resolver, four bytes of kind, then the template.

#include "browser/rooms/PostPathContext.h"
#include "browser/rooms/PostPlaceholder.h"
#include "classifier/ClassifierPlaceholder.h"
#include "common/TemplateExpansion.h"
#include "urllist/UrlPlaceholder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
// Echoes the name between the bars, so output size is checkable.
int echoResolver(void *, std::int32_t, const std::string &placeholder, std::string &value)
{
    if (placeholder.size() < 2 || placeholder.front() != '|' || placeholder.back() != '|')
        std::abort();
    value = placeholder.substr(1, placeholder.size() - 2);
    return PlaceholderResolved;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 5)
        return 0;
    const std::uint8_t which = data[0] % 4;
    std::int32_t kind;
    std::memcpy(&kind, data + 1, sizeof kind);
    const std::string text(reinterpret_cast<const char *>(data + 5), size - 5);

    PostPathContext post;
    post.topicid = std::uint32_t(kind) * 2654435761u;
    post.roomid = std::uint32_t(kind);
    post.roomname = "room";
    post.title = text.substr(0, 8);
    post.roomNamePath = "a\\b";
    post.roomIdPath = "1\\2";
    std::string missing = "/missing";

    std::string out;
    int status = 0;
    switch (which) {
    case 0:
        kind = (kind & 1) ? postKind : (kind & 2) ? notFoundKind : commonKind;
        status = ExpandTemplate(text, out, kind == postKind ? static_cast<void *>(&post) : &missing,
                                kind, ResolvePostPlaceholder);
        break;
    case 1:
        status = ExpandTemplate(text, out, nullptr, commonKind, ResolveClassifierPlaceholder);
        break;
    case 2:
        status = ExpandTemplate(text, out, nullptr, kind, ResolveUrlPlaceholder);
        break;
    default:
        status = ExpandTemplate(text, out, nullptr, kind, echoResolver);
        // Echoing never adds bytes: each placeholder loses its two bars.
        if (out.size() > std::strlen(text.c_str()))
            std::abort();
        break;
    }
    if (status != 0 && status != 1)
        std::abort();
    return 0;
}
