#pragma once

// The module's own string table.
constexpr int kIdsIdColumn = 1;       // name of the fallback attribute column
constexpr int kIdsWriteVector = 100;  // message while vector objects are written
constexpr int kIdsWriteText = 102;    // message while text items are written

enum class ModuleLanguage { kEnglish, kRussian };

// The user's language, as the platform tells it.
ModuleLanguage UserLanguage();

// String id in the given language, or in the user's; empty text for an unknown id.
const char* LoadModuleString(int id, ModuleLanguage language);
const char* LoadModuleString(int id);
