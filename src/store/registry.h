#pragma once
#include <string>

#include "platform/registry_api.h"

namespace store {

using platform::RegRoot;

// The registry access layer: text in, text out, failures silent ("" or false).
class Registry {
public:
    static constexpr std::size_t kBufferSize = 1024;

    explicit Registry(platform::RegistryApi& api) : m_api(api) {}

    void CreateKey(RegRoot root, const std::string& path);
    void DeleteKey(RegRoot root, const std::string& path);
    std::string ReadValue(RegRoot root, const std::string& path, const std::string& name);
    bool WriteValue(RegRoot root, const std::string& path, const std::string& name, const std::string& text);

private:
    platform::RegistryApi& m_api;
};

} // namespace store
