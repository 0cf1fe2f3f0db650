#include "sdk/platform/registry.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/platform/call_log.hpp"
#include "sdk/platform/wide_text.hpp"

struct HKEY__ {
    std::wstring path;  // from the root's name, e.g. HKEY_LOCAL_MACHINE\Software
    REGSAM access;
};

namespace sdk {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";

struct Value {
    std::wstring name;  // empty: the key's default value, written "@"
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Key {
    std::wstring path;
    std::vector<Value> values;
};

struct Store {
    std::vector<Key> keys;  // in file order

    Key* find(std::wstring_view path) {
        const auto it = std::find_if(keys.begin(), keys.end(), [&](const Key& k) {
            return equalsIgnoringCase(k.path, path);
        });
        return it == keys.end() ? nullptr : &*it;
    }
    // A key exists when it is listed or a listed key lies below it.
    bool exists(std::wstring_view path) {
        if (find(path) != nullptr) return true;
        return std::any_of(keys.begin(), keys.end(), [&](const Key& k) {
            return k.path.size() > path.size() && k.path[path.size()] == L'\\' &&
                   equalsIgnoringCase(std::wstring_view(k.path).substr(0, path.size()), path);
        });
    }
};

struct Handles {
    std::mutex mutex;  // also serialises reading and writing the file
    std::set<HKEY> open;
};

Handles& handles() {
    static Handles instance;
    return instance;
}

const wchar_t* rootName(HKEY key) {
    if (key == HKEY_CLASSES_ROOT) return L"HKEY_CLASSES_ROOT";
    if (key == HKEY_CURRENT_USER) return L"HKEY_CURRENT_USER";
    if (key == HKEY_LOCAL_MACHINE) return L"HKEY_LOCAL_MACHINE";
    if (key == HKEY_USERS) return L"HKEY_USERS";
    return nullptr;
}

// --- the file ---------------------------------------------------------------------------------

std::string trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

// A quoted string starting at text[0]; answers the position after the closing quote, or npos.
std::size_t parseQuoted(std::string_view text, std::string& out) {
    if (text.empty() || text[0] != '"') return std::string_view::npos;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out += text[++i];
        } else if (text[i] == '"') {
            return i + 1;
        } else {
            out += text[i];
        }
    }
    return std::string_view::npos;
}

bool parseHexBytes(std::string_view text, std::vector<BYTE>& out) {
    std::string digits;
    for (const char c : text) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (digits.empty() && c == ',') return false;
            if (!digits.empty()) {
                if (digits.size() > 2) return false;
                out.push_back(static_cast<BYTE>(std::strtoul(digits.c_str(), nullptr, 16)));
                digits.clear();
            }
        } else if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else {
            return false;
        }
    }
    if (digits.size() > 2) return false;
    if (!digits.empty())
        out.push_back(static_cast<BYTE>(std::strtoul(digits.c_str(), nullptr, 16)));
    return true;
}

std::vector<BYTE> stringBytes(const std::wstring& text) {
    std::vector<BYTE> bytes((text.size() + 1) * sizeof(wchar_t));
    std::memcpy(bytes.data(), text.c_str(), bytes.size());
    return bytes;
}

bool parseValue(std::string_view text, Value& value) {
    if (!text.empty() && text[0] == '"') {
        std::string raw;
        const std::size_t end = parseQuoted(text, raw);
        if (end != text.size()) return false;
        value.type = REG_SZ;
        value.data = stringBytes(fromUtf8(raw));
        return true;
    }
    if (text.starts_with("dword:")) {
        const std::string digits(text.substr(6));
        if (digits.size() != 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return false;
        }
        const auto number = static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
        value.type = REG_DWORD;
        value.data.resize(4);
        std::memcpy(value.data.data(), &number, 4);
        return true;
    }
    if (text.starts_with("hex:")) {
        value.type = REG_BINARY;
        return parseHexBytes(text.substr(4), value.data);
    }
    if (text.starts_with("hex(")) {
        const auto close = text.find("):");
        if (close == std::string_view::npos) return false;
        const std::string type(text.substr(4, close - 4));
        if (type.empty() || type.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return false;
        }
        value.type = static_cast<DWORD>(std::strtoul(type.c_str(), nullptr, 16));
        return parseHexBytes(text.substr(close + 2), value.data);
    }
    return false;
}

// Reads the store; a missing file is an empty store. False when the file is not a registry
// export or cannot be read.
bool load(const std::filesystem::path& file, Store& store) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return !std::filesystem::exists(file);
    std::string line;
    bool sawHeader = false;
    Key* key = nullptr;
    std::string pending;
    while (std::getline(in, line)) {
        if (!sawHeader && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
        line = trim(line);
        // Long hex values continue on the next line after a backslash.
        if (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
            pending += line.substr(0, line.size() - 1);
            continue;
        }
        if (!pending.empty()) {
            line = pending + line;
            pending.clear();
        }
        if (line.empty() || line[0] == ';') continue;
        if (!sawHeader) {
            if (line != kHeader && line != kOldHeader) return false;
            sawHeader = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) return false;
            const std::wstring path = fromUtf8(std::string_view(line).substr(1, line.size() - 2));
            if (path.front() == L'-') {  // a deletion in an export: nothing to keep
                key = nullptr;
                continue;
            }
            key = store.find(path);
            if (key == nullptr) key = &store.keys.emplace_back(Key{path, {}});
            continue;
        }
        if (key == nullptr) return false;
        Value value;
        std::size_t equals = 0;
        if (line[0] == '@') {
            equals = 1;
        } else {
            std::string name;
            equals = parseQuoted(line, name);
            if (equals == std::string::npos) return false;
            value.name = fromUtf8(name);
        }
        if (equals >= line.size() || line[equals] != '=') return false;
        if (!parseValue(std::string_view(line).substr(equals + 1), value)) return false;
        auto& values = key->values;
        std::erase_if(values,
                      [&](const Value& v) { return equalsIgnoringCase(v.name, value.name); });
        values.push_back(std::move(value));
    }
    return sawHeader || in.eof();
}

std::string quotedText(const std::wstring& text) {
    std::string out = "\"";
    for (const char c : toUtf8(text)) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

// A string is written as text when it is exactly one terminated string without inner zeros.
bool writableAsText(const Value& value, std::wstring& text) {
    if (value.type != REG_SZ || value.data.size() % sizeof(wchar_t) != 0 || value.data.empty()) {
        return false;
    }
    text.resize(value.data.size() / sizeof(wchar_t));
    std::memcpy(text.data(), value.data.data(), value.data.size());
    if (text.back() != L'\0') return false;
    text.pop_back();
    return text.find(L'\0') == std::wstring::npos;
}

std::string valueText(const Value& value) {
    std::wstring text;
    if (writableAsText(value, text)) return quotedText(text);
    if (value.type == REG_DWORD && value.data.size() == 4) {
        std::uint32_t number = 0;
        std::memcpy(&number, value.data.data(), 4);
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", number);
        return digits;
    }
    std::string out = value.type == REG_BINARY ? "hex:" : "hex(" + [&] {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%x", value.type);
        return std::string(digits);
    }() + "):";
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02x", value.data[i]);
        out += (i == 0 ? "" : ",") + std::string(digits);
    }
    return out;
}

// Writes the whole store under a temporary name and renames it over the file, so a reader
// never sees half a store.
bool save(const std::filesystem::path& file, const Store& store) {
    std::ostringstream out;
    out << kHeader << "\n";
    for (const Key& key : store.keys) {
        out << "\n[" << toUtf8(key.path) << "]\n";
        for (const Value& value : key.values) {
            out << (value.name.empty() ? std::string("@") : quotedText(value.name)) << '='
                << valueText(value) << '\n';
        }
    }
    std::error_code ec;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
    const std::filesystem::path temporary =
        file.string() + ".tmp" + std::to_string(static_cast<long>(getpid()));
    {
        std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
        if (!(stream << out.str()) || !stream.flush()) {
            std::filesystem::remove(temporary, ec);
            return false;
        }
    }
    std::filesystem::rename(temporary, file, ec);
    if (ec) std::filesystem::remove(temporary, ec);
    return !ec;
}

// The path of a key below an open key or root; empty for a handle that is neither.
std::wstring basePath(HKEY key) {
    if (const wchar_t* root = rootName(key)) return root;
    return handles().open.contains(key) ? key->path : std::wstring();
}

std::wstring join(const std::wstring& base, LPCWSTR subKey) {
    std::wstring below = subKey != nullptr ? subKey : L"";
    while (!below.empty() && below.front() == L'\\') below.erase(0, 1);
    while (!below.empty() && below.back() == L'\\') below.pop_back();
    return below.empty() ? base : base + L'\\' + below;
}

HKEY newHandle(std::wstring path, REGSAM access) {
    HKEY key = new HKEY__{std::move(path), access};
    handles().open.insert(key);
    return key;
}

bool allows(HKEY key, REGSAM right) {
    return rootName(key) != nullptr || (key->access & right) != 0;
}

// Runs `change` on the values of an open key (made in the store when missing) and writes the
// store back when it succeeds.
template <class Change>
LSTATUS changeValues(HKEY key, Change change) {
    std::lock_guard lock(handles().mutex);
    const std::wstring path = basePath(key);
    if (path.empty()) return ERROR_INVALID_HANDLE;
    if (!allows(key, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    const std::filesystem::path file = registryFile();
    Store store;
    if (!load(file, store)) return ERROR_BADDB;
    Key* found = store.find(path);
    if (found == nullptr) found = &store.keys.emplace_back(Key{path, {}});
    const LSTATUS status = change(found->values);
    if (status != ERROR_SUCCESS) return status;
    return save(file, store) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

}  // namespace

std::filesystem::path registryFile() {
    if (const char* file = std::getenv("PATTIX_REGISTRY"); file != nullptr && *file != '\0') {
        return file;
    }
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
        return std::filesystem::path(config) / "pattix" / "registry.reg";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : ".") / ".config" / "pattix" /
           "registry.reg";
}

}  // namespace sdk

extern "C" {

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM access, PHKEY result) {
    if (auto failure = sdk::hostCall("RegOpenKeyExW")) return *failure;
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    auto& h = sdk::handles();
    std::lock_guard lock(h.mutex);
    const std::wstring base = sdk::basePath(key);
    if (base.empty()) return ERROR_INVALID_HANDLE;
    const std::wstring path = sdk::join(base, subKey);
    if (path != base) {
        sdk::Store store;
        if (!sdk::load(sdk::registryFile(), store)) return ERROR_BADDB;
        if (!store.exists(path)) return ERROR_FILE_NOT_FOUND;
    }
    *result = sdk::newHandle(path, access);
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD /*reserved*/, LPWSTR /*keyClass*/,
                        DWORD /*options*/, REGSAM access, void* /*security*/, PHKEY result,
                        DWORD* disposition) {
    if (auto failure = sdk::hostCall("RegCreateKeyExW")) return *failure;
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    auto& h = sdk::handles();
    std::lock_guard lock(h.mutex);
    const std::wstring base = sdk::basePath(key);
    if (base.empty()) return ERROR_INVALID_HANDLE;
    const std::wstring path = sdk::join(base, subKey);
    const std::filesystem::path file = sdk::registryFile();
    sdk::Store store;
    if (!sdk::load(file, store)) return ERROR_BADDB;
    const bool existed = path == base || store.exists(path);
    if (!existed) {
        store.keys.push_back({path, {}});
        if (!sdk::save(file, store)) return ERROR_ACCESS_DENIED;
    }
    if (disposition != nullptr)
        *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = sdk::newHandle(path, access);
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                         DWORD* dataSize) {
    if (auto failure = sdk::hostCall("RegQueryValueExW")) return *failure;
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    auto& h = sdk::handles();
    std::lock_guard lock(h.mutex);
    const std::wstring path = sdk::basePath(key);
    if (path.empty()) return ERROR_INVALID_HANDLE;
    if (!sdk::allows(key, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    sdk::Store store;
    if (!sdk::load(sdk::registryFile(), store)) return ERROR_BADDB;
    const sdk::Key* found = store.find(path);
    if (found == nullptr) return ERROR_FILE_NOT_FOUND;
    const std::wstring_view name = valueName != nullptr ? valueName : L"";
    const auto value = std::find_if(found->values.begin(), found->values.end(), [&](const auto& v) {
        return sdk::equalsIgnoringCase(v.name, name);
    });
    if (value == found->values.end()) return ERROR_FILE_NOT_FOUND;
    if (type != nullptr) *type = value->type;
    const auto size = static_cast<DWORD>(value->data.size());
    if (data == nullptr) {
        if (dataSize != nullptr) *dataSize = size;
        return ERROR_SUCCESS;
    }
    const DWORD room = *dataSize;
    *dataSize = size;
    if (room < size) return ERROR_MORE_DATA;
    std::memcpy(data, value->data.data(), size);
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD /*reserved*/, DWORD type,
                       const BYTE* data, DWORD size) {
    if (auto failure = sdk::hostCall("RegSetValueExW")) return *failure;
    if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
    const std::wstring name = valueName != nullptr ? valueName : L"";
    return sdk::changeValues(key, [&](std::vector<sdk::Value>& values) {
        std::erase_if(values, [&](const auto& v) { return sdk::equalsIgnoringCase(v.name, name); });
        values.push_back({name, type, std::vector<BYTE>(data, data + size)});
        return ERROR_SUCCESS;
    });
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    if (auto failure = sdk::hostCall("RegDeleteValueW")) return *failure;
    const std::wstring_view name = valueName != nullptr ? valueName : L"";
    return sdk::changeValues(key, [&](std::vector<sdk::Value>& values) {
        const auto erased = std::erase_if(
            values, [&](const auto& v) { return sdk::equalsIgnoringCase(v.name, name); });
        return erased == 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
    });
}

LSTATUS RegCloseKey(HKEY key) {
    if (auto failure = sdk::hostCall("RegCloseKey")) return *failure;
    if (sdk::rootName(key) != nullptr) return ERROR_SUCCESS;
    auto& h = sdk::handles();
    std::lock_guard lock(h.mutex);
    if (h.open.erase(key) == 0) return ERROR_INVALID_HANDLE;
    delete key;
    return ERROR_SUCCESS;
}

}  // extern "C"
