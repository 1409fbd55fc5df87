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
            ::unsetenv(kNames[i]);
        }
    }
    ~LocaleEnv() {
        for (int i = 0; i < 3; ++i) {
            if (had[i]) {
                ::setenv(kNames[i], saved[i].c_str(), 1);
            } else {
                ::unsetenv(kNames[i]);
            }
        }
    }
    void Set(const char* name, const char* value) { ::setenv(name, value, 1); }

private:
    static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string saved[3];
    bool had[3] = {};
};

TEST(StringTable, EnglishUnlessTheLocaleIsRussian) {
    LocaleEnv env;
    EXPECT_STREQ(LoadModuleString(kIdsWriteVector), "Write vector features");
    env.Set("LANG", "ru_RU.UTF-8");
    EXPECT_EQ(UserLanguage(), ModuleLanguage::kRussian);
    // "Запись текстовых объектов" in Windows-1251.
    EXPECT_STREQ(LoadModuleString(kIdsWriteText),
                 "\xC7\xE0\xEF\xE8\xF1\xFC \xF2\xE5\xEA\xF1\xF2\xEE\xE2\xFB\xF5 "
                 "\xEE\xE1\xFA\xE5\xEA\xF2\xEE\xE2");
    EXPECT_STREQ(LoadModuleString(kIdsIdColumn), "id");
    env.Set("LC_MESSAGES", "en_GB.UTF-8");
    EXPECT_EQ(UserLanguage(), ModuleLanguage::kEnglish) << "LC_MESSAGES comes before LANG";
    env.Set("LC_ALL", "ru_UA");
    EXPECT_EQ(UserLanguage(), ModuleLanguage::kRussian) << "LC_ALL comes first";
    EXPECT_STREQ(LoadModuleString(999), "");
}

TEST(StringTable, BitmapIs16By15With8Bits) {
    std::string bmp = ReadFile(MIF_SOURCE_DIR "/resources/mif.bmp");
    ASSERT_GE(bmp.size(), 54u);
    int32_t width, height;
    uint16_t bits;
    std::memcpy(&width, bmp.data() + 18, 4);
    std::memcpy(&height, bmp.data() + 22, 4);
    std::memcpy(&bits, bmp.data() + 28, 2);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 15);
    EXPECT_EQ(bits, 8);
}

}  // namespace
