// The presets loader over arbitrary bytes, then every preset applied in both modes.

#include "browser/import/ImportPresets.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    PresetList list;
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    if (!LoadPresetListFromBytes(bytes, list))
        return 0;
    if (list.defaultIndex >= std::int32_t(list.names.size()))
        std::abort();
    for (const bool selected : {false, true}) {
        for (const std::int32_t index : ListedPresets(list, selected)) {
            ImportSettings settings;
            if (selected)
                SetImportTarget(settings, "7", "t");
            ApplyPreset(list, index, settings);
            if (selected && settings.roomidMode != RoomidMode::StartMarkerValue)
                std::abort();
        }
    }
    for (const auto &contents : list.contents) {
        ImportSettings settings;
        ApplyPreset(list, contents.first, settings);
    }
    return 0;
}
