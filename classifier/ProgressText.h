#pragma once

#include <QString>

#include <cstdint>

// The progress line of long runs: files done, of how many, files per second and the
// time left. total 0 means that no estimate exists.
QString ProgressText(std::int64_t done, std::int64_t total, double elapsedSeconds);
