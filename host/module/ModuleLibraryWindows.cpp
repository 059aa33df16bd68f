// Windows: the library through LoadLibrary, its records in its own "PIPL" resources, as the
// host application reads them.

#include "host/module/ModuleLibrary.h"

#include "host/system/HostError.h"

#include <windows.h>

#include <cstdint>
#include <span>

namespace OfflineHost {
namespace {

HMODULE moduleHandle(void* handle) {
    return static_cast<HMODULE>(handle);
}

std::string systemMessage(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    return message;
}

const wchar_t* const piplType = L"PIPL";

// Resource names with a numeric id; named resources are not registration records.
BOOL CALLBACK collectId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
    if (IS_INTRESOURCE(name)) {
        reinterpret_cast<std::vector<WORD>*>(ids)->push_back(
            static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name)));
    }
    return TRUE;
}

BOOL CALLBACK collectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

} // namespace

ModuleLibrary::ModuleLibrary(const std::filesystem::path& file) : m_file(file) {
    // LoadLibrary wants backslashes; a path from CMake or a command line may have either.
    m_handle = LoadLibraryW(std::filesystem::absolute(file).make_preferred().c_str());
    if (m_handle == nullptr) {
        throw HostError("cannot load module " + file.string() + ": " +
                        systemMessage(GetLastError()));
    }
}

ModuleLibrary::~ModuleLibrary() {
    FreeLibrary(moduleHandle(m_handle));
}

ModuleLibrary::Function ModuleLibrary::function(const std::string& name) const {
    return reinterpret_cast<Function>(GetProcAddress(moduleHandle(m_handle), name.c_str()));
}

std::string ModuleLibrary::recordsSource() const {
    return "the PIPL resources of " + m_file.string();
}

std::vector<PiplResource> ModuleLibrary::readRecords() const {
    const HMODULE module = moduleHandle(m_handle);
    std::vector<WORD> ids;
    EnumResourceNamesW(module, piplType, collectId, reinterpret_cast<LONG_PTR>(&ids));
    if (ids.empty()) {
        throw HostError("module " + m_file.string() +
                        " has no registration records: it holds no PIPL resource");
    }
    std::vector<PiplResource> resources;
    for (const WORD id : ids) {
        std::vector<WORD> languages;
        EnumResourceLanguagesW(module, piplType, MAKEINTRESOURCEW(id), collectLanguage,
                               reinterpret_cast<LONG_PTR>(&languages));
        for (const WORD language : languages) {
            const HRSRC found = FindResourceExW(module, piplType, MAKEINTRESOURCEW(id), language);
            const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
            const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
            if (bytes == nullptr) {
                throw HostError("cannot read PIPL resource " + std::to_string(id) + " of " +
                                m_file.string() + ": " + systemMessage(GetLastError()));
            }
            PiplResource resource;
            resource.id = id;
            resource.language = language;
            try {
                resource.records = parsePropertyList(std::span(
                    static_cast<const std::uint8_t*>(bytes), SizeofResource(module, found)));
            } catch (const HostError& e) {
                throw HostError("PIPL resource " + std::to_string(id) + " of " + m_file.string() +
                                ": " + e.what());
            }
            resources.push_back(std::move(resource));
        }
    }
    return resources;
}

} // namespace OfflineHost
