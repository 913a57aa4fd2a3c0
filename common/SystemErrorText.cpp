#include "CommonTexts.h"
#include "FileSystem.h"

#include "Codec.h"

#include <QString>

namespace FileSystem {

std::string errorReason(const std::error_code &error)
{
    if (error.category() == std::generic_category() || error.category() == std::system_category()) {
        for (const CommonText::SystemErrorText &known : CommonText::SystemErrors) {
            if (known.code == error.value())
                return Gbk::literal(known.text);
        }
    }
    return Gbk::fromQString(QString::fromLocal8Bit(error.message()));
}

std::string errorText(const std::error_code &error)
{
    // A settings file refused by its kind or size: the reason says it all, a number adds noise.
    if (error.category() == settingsFileCategory())
        return errorReason(error);
    const bool systemCode = error.category() == std::generic_category()
            || error.category() == std::system_category();
    const std::string code = systemCode
            ? "errno " + std::to_string(error.value())
            : std::string(error.category().name()) + " " + std::to_string(error.value());
    return errorReason(error) + " (" + code + ")";
}

} // namespace FileSystem
