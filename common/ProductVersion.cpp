#include "ProductVersion.h"

#include "Codec.h"
#include "CommonTexts.h"
#include "TextFormat.h"

std::string FormatProductVersion()
{
    // Major and minor are unsigned 16-bit parts of the product version.
    const auto major = static_cast<unsigned short>(QUILLERY_VERSION_MAJOR);
    const auto minor = static_cast<unsigned short>(QUILLERY_VERSION_MINOR);
    return FormatText(Gbk::literal(CommonText::ProductVersionFormat).c_str(), major, minor);
}
