// CTextLineFile::ReadLine over arbitrary file contents and capacities, checked
// against the in-memory reading of the same rules. Input: two bytes of capacity,
// then the file's contents.

#include "LineRulesReference.h"
#include "common/CTextLineFile.h"
#include "common/FileSystem.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
const std::string &scratchPath()
{
    static const std::string path =
            "/tmp/quillery-fuzz-readline-" + std::to_string(::getpid()) + ".txt";
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::int32_t capacity = 2 + (data[0] | data[1] << 8) % 300;
    const std::string contents(reinterpret_cast<const char *>(data + 2), size - 2);
    if (FileSystem::writeWholeFile(scratchPath(), contents))
        return 0;

    const std::vector<ReferenceLine> expected = referenceLines(contents, capacity);
    CTextLineFile file;
    if (file.Open(scratchPath(), 0, CTextLineFile::OpenMode::ReadWriteKeep) != 0)
        std::abort();
    std::string line;
    for (const ReferenceLine &want : expected) {
        std::int32_t length = 0;
        const std::int32_t status = file.ReadLine(line, capacity, length);
        if (status != want.status || length != want.length || line != want.text)
            std::abort();
    }
    file.Close();
    return 0;
}
