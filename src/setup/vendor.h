#pragma once

namespace setup {

// The vendor's addresses, kept in this one place: the About tab's links, the update page, the add-on
// installer and the support address in the add-item dialog's error message all come from here.
constexpr const char* kVendorWebsite = "http://www.kestrel.example.com"; // no path, no trailing slash
constexpr const char* kSupportAddress = "support@kestrel.example.com";

constexpr const char* kUpdatePath = "/download.htm";
constexpr const char* kAddOnInstallerPath = "/download/zephyrpro.exe";
constexpr const char* kMailSubjectQuery = "?subject=Software Support Request";

// Message boxes that give no title of their own carry the application title.
constexpr const char* kAppTitle = "Kestrel";

} // namespace setup
