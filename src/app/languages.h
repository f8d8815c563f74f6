#pragma once
// The user-interface language: English (the texts in the code), Italian and
// Polish from the embedded catalogues, with Qt's own catalogue for its dialog
// buttons. Switching sends every window a LanguageChange.

#include "decode/csv.h"

#include <QStringList>

enum class Language { English, Italian, Polish };

namespace languages {

// The settings file keeps the language as a number: 1 English, 2 Italian,
// 3 Polish. Any other number shows English.
Language fromStored(int stored);
int toStored(Language language);
// Installs the catalogues of the language (removing the previous ones).
void install(Language language);

// A text of the program as the installed language shows it, then in
// English, Italian and Polish: the titles a column of a file written in any
// of them may have.
std::vector<std::string> inEveryLanguage(const char *context, const char *source);

// Column titles from their source texts (user titles are taken as they are).
decode::csv::ColumnTitles columnTitles(const char *context, const std::vector<const char *> &sources);
// The installed language's title of each column.
QStringList currentTitles(const decode::csv::ColumnTitles &titles);

} // namespace languages
