#pragma once
// Where the program keeps its files. Paths are always built absolute; the
// process's current directory is never changed (a worker thread runs beside
// the user-interface thread).
//
// A program installed under /usr (the package) keeps everything of its user
// in that user's home, root included: settings in ~/.config/Telvaro, accounts
// in ~/.local/share/Telvaro/files, saved tables and logs in ~. A program run
// from any other folder (a build, a copy on a stick) keeps its files beside
// itself where it can.

#include <QString>

namespace program_paths {

// Folder of the executable, without trailing separator.
QString programDir();

// True for a program folder below /usr: an installed program.
bool isInstalledDir(const QString &dir);

// The settings file, named like the program with ".ini": in the program's
// folder unless the program is installed or that folder holds no writable
// settings file and is not writable; then in ~/.config/Telvaro/.
QString settingsFile();

// Default data folder, with a trailing separator: the home folder for an
// installed program, else the program folder.
QString defaultDataDir();

} // namespace program_paths
