#pragma once

// Where the programs find their files. Portable: the program's own folder holds
// Configs/ and the user may write there (a build folder, an unpacked copy), so
// everything stays next to the program. Installed: the shipped defaults are read from
// the install's data folder and each user keeps a folder of his own, laid out as the
// portable folder is, which GetAppDirectory names. Paths are GBK without a final "/".

#include <string>

namespace AppFolders {

enum class Mode { Portable, Installed };

struct Layout
{
    Mode mode = Mode::Portable;
    std::string programFolder; // where the executable lies
    std::string dataFolder; // holds Configs/, Data/, RoomID-Name.txt of this user
    std::string defaultsFolder; // the shipped Configs/ and sample/
};

// The rule, without looking anything up but the two folders' contents: portable when
// programFolder holds Configs/ and is writable; otherwise the user's folder, with the
// defaults from programFolder when it holds Configs/, else from installedDefaults.
Layout DecideLayout(const std::string &programFolder, const std::string &userFolder,
                    const std::string &installedDefaults);

// The layout of this process: decided once from the executable's place and
// $XDG_DATA_HOME, or the test override of SetAppDirectoryOverride.
Layout CurrentLayout();

// The user's folder for installed mode: $XDG_DATA_HOME/quillery.
std::string UserDataFolder();

// Makes the user's folder and copies into it every shipped default it lacks (all but
// sample/). A file the user has is never replaced; each copy is written under a
// temporary name and renamed, so no half file is left. Nothing to do when portable.
// On failure, problem names the folder or file and why (GBK).
bool PrepareDataFolder(const Layout &layout, std::string &problem);

// Lines for an About box: the folders in use (GBK).
std::string DescribeFolders(const Layout &layout);

} // namespace AppFolders
