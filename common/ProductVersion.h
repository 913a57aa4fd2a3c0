#pragma once

#include <string>

// "产品版本:major.minor" from the project version compiled in (GBK).
std::string FormatProductVersion();
