#pragma once
// The user-interface language: English (1, the texts in the code), Italian
// (2) and Polish (3) from the embedded catalogues, with Qt's own catalogue
// for its dialog buttons. Switching sends every window a LanguageChange.

namespace languages {

// Anything but 2 or 3 is English.
int normalized(int stored);
// Installs the catalogues of the language (removing the previous ones).
void install(int language);
int installed();

} // namespace languages
