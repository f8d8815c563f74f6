#pragma once
// "telvaro-cli history ID": a meter's readings from the readings archive,
// newest first, as text, CSV or JSON. No bus is needed.

#include "cli_options.h"

namespace cli {

// Prints the history; the exit status (0 readings found, 1 none, 2 no archive,
// or one that did not answer in time). A damaged archive is said first.
int printHistory(const Options &options);

// archive backup FILE: the exit status (0 copied, 2 not).
int backupArchive(const Options &options);

} // namespace cli
