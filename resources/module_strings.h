#pragma once

// The module's own string table.
constexpr int kIdsIdColumn = 1;       // name of the fallback attribute column
constexpr int kIdsWriteVector = 100;  // message while vector objects are written
constexpr int kIdsWriteText = 102;    // message while text items are written
// Message after an import that repaired the file: %1 the count, %2 the file name, %3 the line of
// the first repair (and its file when that is the MID file), %4 what it was.
constexpr int kIdsRepaired = 103;

enum class ModuleLanguage { kEnglish, kRussian };

// The user's language, as the platform tells it.
ModuleLanguage UserLanguage();

// String id in the given language, or in the user's; empty text for an unknown id.
const char* LoadModuleString(int id, ModuleLanguage language);
const char* LoadModuleString(int id);
