#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "resources/module_strings.h"
#include "test_util.h"

namespace {

// "Запись векторных объектов" and "Запись текстовых объектов" in Windows-1251.
const char kRussianVector[] =
    "\xC7\xE0\xEF\xE8\xF1\xFC \xE2\xE5\xEA\xF2\xEE\xF0\xED\xFB\xF5 "
    "\xEE\xE1\xFA\xE5\xEA\xF2\xEE\xE2";
const char kRussianText[] =
    "\xC7\xE0\xEF\xE8\xF1\xFC \xF2\xE5\xEA\xF1\xF2\xEE\xE2\xFB\xF5 "
    "\xEE\xE1\xFA\xE5\xEA\xF2\xEE\xE2";

// Every string in both languages, named and as the user's language chooses it.
TEST(StringTable, BothLanguages) {
    struct Case {
        int id;
        const char* english;
        const char* russian;
    };
    const Case cases[] = {{kIdsIdColumn, "id", "id"},
                          {kIdsWriteVector, "Write vector features", kRussianVector},
                          {kIdsWriteText, "Write text", kRussianText},
                          {999, "", ""}};
    for (bool russian : {false, true}) {
        testos::SetUserLanguage(russian);
        EXPECT_EQ(UserLanguage(), russian ? ModuleLanguage::kRussian : ModuleLanguage::kEnglish);
        for (const Case& c : cases) {
            const char* expected = russian ? c.russian : c.english;
            EXPECT_STREQ(LoadModuleString(c.id, ModuleLanguage::kEnglish), c.english) << c.id;
            EXPECT_STREQ(LoadModuleString(c.id, ModuleLanguage::kRussian), c.russian) << c.id;
            EXPECT_STREQ(LoadModuleString(c.id), expected) << c.id << " russian " << russian;
        }
    }
    testos::SetUserLanguage(false);
}

TEST(StringTable, LocaleVariablesInTheirOrder) {
    SKIP_WITHOUT_POSIX("locale variables that choose the language");
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        testos::SetEnv(name, nullptr);
    }
    EXPECT_EQ(UserLanguage(), ModuleLanguage::kEnglish);
    testos::SetEnv("LANG", "ru_RU.UTF-8");
    EXPECT_EQ(UserLanguage(), ModuleLanguage::kRussian);
    testos::SetEnv("LC_MESSAGES", "en_GB.UTF-8");
    EXPECT_EQ(UserLanguage(), ModuleLanguage::kEnglish) << "LC_MESSAGES comes before LANG";
    testos::SetEnv("LC_ALL", "ru_UA");
    EXPECT_EQ(UserLanguage(), ModuleLanguage::kRussian) << "LC_ALL comes first";
    testos::SetUserLanguage(false);  // LC_ALL=C: English for the tests after this one
}

}  // namespace
