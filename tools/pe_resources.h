// The resource section of a PE image as a flat list of resources (type,
// name, language, data), read from a section's bytes and written back as a
// new section. Portable.
//
// The section written is laid out as: every directory table with its
// entries (types, then each type's names, then each name's languages), the
// data entries, the name strings, then the data, each item 8-byte aligned.
// Named entries come before numbered ones, names in ascending order of their
// upper-cased UTF-16 units and numbers in ascending order, as Windows'
// resource look-up searches them; every time stamp and version field is 0, so
// the same resources always give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/byte_cursor.h"

constexpr uint16_t kResourceIcon = 3;
constexpr uint16_t kResourceGroupIcon = 14;
constexpr uint16_t kResourceVersion = 16;
constexpr uint16_t kResourceManifest = 24;

// A resource type, name or language: a number or a UTF-16 name.
struct ResourceKey {
  bool isName = false;
  uint16_t id = 0;
  std::u16string name;

  static ResourceKey Id(uint16_t id) { return ResourceKey{false, id, {}}; }
  bool operator==(const ResourceKey& other) const {
    return isName == other.isName && id == other.id && name == other.name;
  }
};

// The order of entries in a resource directory.
bool ResourceKeyLess(const ResourceKey& a, const ResourceKey& b);

struct Resource {
  ResourceKey type;
  ResourceKey name;
  ResourceKey language;
  uint32_t codePage = 0;
  std::vector<uint8_t> data;
};

enum class ResourceError {
  kNone,
  kBadDirectory,    // a directory table or entry outside the section
  kTooDeep,         // a subdirectory below the language level, or a leaf above it
  kLoop,            // a directory reached twice
  kBadName,         // a name string outside the section
  kDataOutside,     // a resource's data outside the section
};

const char* ResourceErrorText(ResourceError error);

// Reads the resources of a section whose bytes are section[0, size) and
// whose RVA is sectionRva (data entries hold RVAs). Resources come out in
// directory order. On failure *where names the field and offset at fault.
ResourceError ReadResources(const uint8_t* section, size_t size, uint32_t sectionRva,
                            std::vector<Resource>* resources, CursorFailure* where);

// The section bytes for the resources, to be placed at sectionRva. Resources
// are sorted into directory order first; two with the same type, name and
// language keep the first.
std::vector<uint8_t> WriteResources(std::vector<Resource> resources, uint32_t sectionRva);
