#pragma once

// A download list written from runs of post IDs instead of one range: the lines are the
// ones GenerateUrlListFile writes for the same IDs (the same expansion, GBK, CR LF), so a
// list of only some IDs of a range reads as the full list with lines left out.

#include "UrlListGeneration.h"

#include "common/CTextLineFile.h"

#include <cstdint>
#include <string>

class UrlListWriter
{
public:
    // Empties or creates the file; false with the reason in result.
    bool Open(const std::string &path, const std::string &lineTemplate, UrlListResult &result);
    // One line per ID of first..last (within MinPostId..MaxPostId); false when writing
    // failed, with the reason in result.
    bool WriteRun(std::int64_t first, std::int64_t last, UrlListResult &result);
    bool Close(UrlListResult &result);
    // The template of the lines written from now on.
    void SetLineTemplate(const std::string &lineTemplate) { lineTemplate_ = lineTemplate; }

    std::int64_t LinesWritten() const { return written_; }
    std::int64_t IdsWritten() const { return ids_; }

private:
    bool failed(UrlListOutcome outcome, const char *utf8Format, UrlListResult &result);

    CTextLineFile file_;
    std::string path_;
    std::string lineTemplate_;
    std::string line_;
    std::int64_t written_ = 0;
    std::int64_t ids_ = 0;
};

// Writes one ID's line of a list into line (empty when the template expands to nothing).
void ExpandUrlListLine(const std::string &lineTemplate, std::int32_t id, std::string &line);
