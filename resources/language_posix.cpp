#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "resources/module_strings.h"

// The language of messages comes from the locale variables, in their order of precedence:
// Russian when the first one set begins with "ru", English otherwise.
ModuleLanguage UserLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return std::strncmp(value, "ru", 2) == 0 ? ModuleLanguage::kRussian
                                                     : ModuleLanguage::kEnglish;
        }
    }
    return ModuleLanguage::kEnglish;
}
