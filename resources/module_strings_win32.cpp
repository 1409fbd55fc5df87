#include <windows.h>

#include <map>
#include <string>
#include <utility>

#include "resources/module_strings.h"

// The string table is a resource of the module (resources/mif.rc). Texts reach the host in its
// code page, Windows-1251, as every other text of the plug-in does.
namespace {

constexpr UINT kHostCodePage = 1251;
// RT_STRING, without the cast of its macro.
const LPCWSTR kStringTable = reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(6));

// The module whose resources these are: mif.dll, or a program this code is linked into.
HMODULE ThisModule() {
    static const char marker = 0;
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        &marker, &module);
    return module;
}

std::string ToHostCodePage(const wchar_t* text, int length) {
    if (length <= 0) {
        return std::string();
    }
    int size = WideCharToMultiByte(kHostCodePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(kHostCodePage, 0, text, length, &out[0], size, nullptr, nullptr);
    }
    return out;
}

// String id of the table in one language. The table is stored in blocks of 16 strings, each a
// length followed by that many UTF-16 units.
std::string FindString(int id, LANGID language) {
    HMODULE module = ThisModule();
    const ULONG_PTR block = static_cast<ULONG_PTR>(id / 16 + 1);
    HRSRC info = FindResourceExW(module, kStringTable, reinterpret_cast<LPCWSTR>(block), language);
    HGLOBAL data = info != nullptr ? LoadResource(module, info) : nullptr;
    const WCHAR* p = data != nullptr ? static_cast<const WCHAR*>(LockResource(data)) : nullptr;
    if (p == nullptr) {
        return std::string();
    }
    const WCHAR* end = p + SizeofResource(module, info) / sizeof(WCHAR);
    for (int i = 0; i < id % 16 && p < end; ++i) {
        p += 1 + *p;
    }
    if (p >= end || *p > end - p - 1) {
        return std::string();
    }
    return ToHostCodePage(p + 1, *p);
}

// Loaded texts stay for the life of the module: callers keep the pointers. A text already kept
// for the key is not replaced.
const char* Keep(int id, unsigned language, std::string text) {
    static std::map<std::pair<int, unsigned>, std::string> kept;
    return kept.emplace(std::make_pair(id, language), std::move(text)).first->second.c_str();
}

}  // namespace

// Russian when Windows chooses the module's Russian string table, as LoadString does.
ModuleLanguage UserLanguage() {
    HMODULE module = ThisModule();
    LPCWSTR block = reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(kIdsWriteVector / 16 + 1));
    HRSRC chosen = FindResourceW(module, block, kStringTable);
    HRSRC russian =
        FindResourceExW(module, kStringTable, block, MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    return chosen != nullptr && chosen == russian ? ModuleLanguage::kRussian
                                                  : ModuleLanguage::kEnglish;
}

const char* LoadModuleString(int id, ModuleLanguage language) {
    bool russian = language == ModuleLanguage::kRussian;
    LANGID langId = russian ? MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)
                            : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    return Keep(id, langId, FindString(id, langId));
}

// LoadString, in the language Windows chooses for the module as for any other module.
const char* LoadModuleString(int id) {
    const WCHAR* text = nullptr;
    int length =
        LoadStringW(ThisModule(), static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    // Kept apart from the texts of a named language, by the language Windows chose.
    return Keep(id, 0x10000u + static_cast<unsigned>(UserLanguage()),
                text != nullptr ? ToHostCodePage(text, length) : std::string());
}
