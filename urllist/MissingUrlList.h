#pragma once

// A download list of only the posts an archive lacks: the IDs of the range that no post
// table of the archive's configuration holds, in the lines a full list would have.

#include "UrlListGeneration.h"

#include <string>

struct GapScanRequest;
struct GapScanResult;

// The tree configuration whose archive is asked by default: the programs' own
// (Configs/InitTree.xml in the data folder, beside Kestrel's).
std::string DefaultArchiveConfigPath();

// Checks the range as GenerateUrlListFile does, then asks the archive of the configuration
// file (GBK path) before the output file is touched, so an archive that cannot be read
// leaves an earlier list as it was. The result's text names the count listed and left out.
UrlListResult GenerateMissingUrlListFile(const UrlTemplateTable &table,
                                         const UrlListRequest &request,
                                         const std::string &archiveConfigPath);

// Writes what a gap scan finds into a download list, each ID in the line of its format:
// the HTML template up to LastHtmlPostId, the XML one after. scanned receives the scan's
// result; a scan that fails leaves an incomplete list and says so.
UrlListResult WriteGapUrlList(const UrlTemplateTable &table, const GapScanRequest &scan,
                              const std::string &outputPath, GapScanResult &scanned);
