#include "resources/module_strings.h"

namespace {

struct ModuleString {
    int id;
    const char* english;
    const char* russian;  // in the host's code page, Windows-1251
};

// The module's string table, in both languages the module ships.
const ModuleString kStrings[] = {
    {kIdsIdColumn, "id", "id"},
    {kIdsWriteVector, "Write vector features",
     // "Запись векторных объектов"
     "\xC7\xE0\xEF\xE8\xF1\xFC\x20\xE2\xE5\xEA\xF2\xEE\xF0\xED\xFB\xF5\x20\xEE\xE1\xFA\xE5\xEA\xF2"
     "\xEE\xE2"},
    {kIdsWriteText, "Write text",
     // "Запись текстовых объектов"
     "\xC7\xE0\xEF\xE8\xF1\xFC\x20\xF2\xE5\xEA\xF1\xF2\xEE\xE2\xFB\xF5\x20\xEE\xE1\xFA\xE5\xEA\xF2"
     "\xEE\xE2"},
    {kIdsRepaired, "%1 problems repaired while reading %2; first at line %3: %4",
     // "При чтении %2 исправлено проблем: %1; первая в строке %3: %4"
     "\xCF\xF0\xE8 \xF7\xF2\xE5\xED\xE8\xE8 %2 \xE8\xF1\xEF\xF0\xE0\xE2\xEB\xE5\xED\xEE "
     "\xEF\xF0\xEE\xE1\xEB\xE5\xEC: %1; \xEF\xE5\xF0\xE2\xE0\xFF \xE2 \xF1\xF2\xF0\xEE\xEA\xE5 %3: "
     "%4"},
};

}  // namespace

const char* LoadModuleString(int id, ModuleLanguage language) {
    for (const ModuleString& s : kStrings) {
        if (s.id == id) {
            return language == ModuleLanguage::kRussian ? s.russian : s.english;
        }
    }
    return "";
}

const char* LoadModuleString(int id) {
    return LoadModuleString(id, UserLanguage());
}
