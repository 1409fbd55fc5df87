#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "resources/module_strings.h"
#include "test_util.h"

namespace {

// Sets the locale variables for one test and restores them afterwards.
class LocaleEnv {
public:
    LocaleEnv() {
        for (int i = 0; i < 3; ++i) {
            const char* v = std::getenv(kNames[i]);
            saved[i] = v != nullptr ? v : "";
            had[i] = v != nullptr;
            testos::SetEnv(kNames[i], nullptr);
        }
    }
    ~LocaleEnv() {
        for (int i = 0; i < 3; ++i) {
            testos::SetEnv(kNames[i], had[i] ? saved[i].c_str() : nullptr);
        }
    }
    void Set(const char* name, const char* value) { testos::SetEnv(name, value); }

private:
    static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string saved[3];
    bool had[3] = {};
};

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
    LocaleEnv env;
    EXPECT_EQ(UserLanguage(), ModuleLanguage::kEnglish);
    env.Set("LANG", "ru_RU.UTF-8");
    EXPECT_EQ(UserLanguage(), ModuleLanguage::kRussian);
    env.Set("LC_MESSAGES", "en_GB.UTF-8");
    EXPECT_EQ(UserLanguage(), ModuleLanguage::kEnglish) << "LC_MESSAGES comes before LANG";
    env.Set("LC_ALL", "ru_UA");
    EXPECT_EQ(UserLanguage(), ModuleLanguage::kRussian) << "LC_ALL comes first";
}

}  // namespace
