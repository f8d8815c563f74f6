#pragma once
// The user-interface language: English (the texts in the code), Italian and
// Polish from the embedded catalogues, with Qt's own catalogue for its dialog
// buttons. Switching sends every window a LanguageChange.

enum class Language { English, Italian, Polish };

namespace languages {

// The settings file keeps the language as a number: 1 English, 2 Italian,
// 3 Polish. Any other number shows English.
Language fromStored(int stored);
int toStored(Language language);
// Installs the catalogues of the language (removing the previous ones).
void install(Language language);

} // namespace languages
