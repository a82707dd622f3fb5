// The version resource (RT_VERSION) that Explorer shows in a program's
// properties: the fixed file and product version numbers and a string table
// in Chinese (PRC), Unicode. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FileVersion {
  uint16_t part[4] = {1, 0, 0, 0};
};

// Parses "a.b.c.d" (one to four decimal numbers from 0 to 65535, missing
// ones 0). False for anything else.
bool ParseFileVersion(const std::string& text, FileVersion* version);
// "a.b.c.d".
std::string FormatFileVersion(const FileVersion& version);

struct VersionStrings {
  std::u16string productName;      // left out when empty
  std::u16string fileDescription;
};

// The resource's bytes: VS_VERSIONINFO with the fixed file information (file
// and product version both `version`, an application for 32-bit Windows NT),
// a StringFileInfo table "080404b0" holding FileDescription, FileVersion,
// ProductName and ProductVersion, and a VarFileInfo translation 0x0804 /
// code page 1200.
std::vector<uint8_t> BuildVersionResource(const FileVersion& version, const VersionStrings& strings);

// The file version of a version resource's fixed file information. False
// when the bytes do not hold one.
bool ReadFixedFileVersion(const std::vector<uint8_t>& resource, FileVersion* version);

// The resource language of the version resource written: Chinese (PRC).
constexpr uint16_t kVersionLanguage = 0x0804;
