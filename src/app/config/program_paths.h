#pragma once
// Where the program keeps its files. Paths are always built absolute; the
// process's current directory is never changed (a worker thread runs beside
// the user-interface thread).

#include <QString>

namespace program_paths {

// Folder of the executable, without trailing separator.
QString programDir();

// The settings file: named like the program with ".ini", in the program's
// folder; when that folder is not writable (an installed program) and holds
// no writable settings file, in ~/.config/Telvaro/ instead.
QString settingsFile();

// Default data folder: the program folder with a trailing separator.
QString defaultDataDir();

} // namespace program_paths
