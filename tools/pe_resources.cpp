#include "tools/pe_resources.h"

#include <algorithm>
#include <set>

#include "tools/le_bytes.h"

namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr size_t kDirectorySize = 16;
constexpr size_t kEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr int kLanguageLevel = 2;

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

class Reader {
 public:
  Reader(const uint8_t* section, size_t size, uint32_t rva, std::vector<Resource>* out)
      : section_(section), size_(size), rva_(rva), out_(out) {}

  ResourceError Directory(uint32_t offset, int level, Resource* path) {
    if (!visited_.insert(offset).second) return ResourceError::kLoop;
    ByteCursor c = At(offset);
    uint16_t named = 0, numbered = 0;
    c.Skip(12, "resource directory header");
    c.ReadU16(&named, "named entry count");
    c.ReadU16(&numbered, "numbered entry count");
    c.CheckCount(uint32_t(named) + numbered, kEntrySize, "resource directory entries");
    if (!c.Ok()) return Fail(c, ResourceError::kBadDirectory);
    for (uint32_t i = 0; i < uint32_t(named) + numbered; ++i) {
      uint32_t nameWord = 0, target = 0;
      c.ReadU32(&nameWord, "resource entry name");
      c.ReadU32(&target, "resource entry offset");
      ResourceKey key;
      if (nameWord & kHighBit) {
        if (ResourceError e = Name(nameWord & ~kHighBit, &key.name); e != ResourceError::kNone) return e;
        key.isName = true;
      } else {
        key.id = static_cast<uint16_t>(nameWord);
      }
      (level == 0 ? path->type : level == 1 ? path->name : path->language) = key;
      const bool isDirectory = (target & kHighBit) != 0;
      if (isDirectory != (level < kLanguageLevel)) return Fail(c, ResourceError::kTooDeep);
      const ResourceError e = isDirectory ? Directory(target & ~kHighBit, level + 1, path) : Leaf(target, *path);
      if (e != ResourceError::kNone) return e;
    }
    return ResourceError::kNone;
  }

  CursorFailure failure;

 private:
  ByteCursor At(uint32_t offset) const {
    if (offset > size_) return ByteCursor(nullptr, 0, offset);
    return ByteCursor(section_ + offset, size_ - offset, offset);
  }

  ResourceError Fail(const ByteCursor& c, ResourceError error) {
    failure = c.Failure();
    return error;
  }

  ResourceError Name(uint32_t offset, std::u16string* name) {
    ByteCursor c = At(offset);
    uint16_t length = 0;
    c.ReadU16(&length, "resource name length");
    c.CheckCount(length, 2, "resource name");
    for (uint16_t i = 0; i < length && c.Ok(); ++i) {
      uint16_t unit = 0;
      c.ReadU16(&unit, "resource name");
      name->push_back(static_cast<char16_t>(unit));
    }
    return c.Ok() ? ResourceError::kNone : Fail(c, ResourceError::kBadName);
  }

  ResourceError Leaf(uint32_t offset, const Resource& path) {
    ByteCursor c = At(offset);
    uint32_t dataRva = 0, dataSize = 0;
    Resource r = path;
    c.ReadU32(&dataRva, "resource data address");
    c.ReadU32(&dataSize, "resource data size");
    c.ReadU32(&r.codePage, "resource code page");
    if (!c.Ok()) return Fail(c, ResourceError::kBadDirectory);
    if (dataRva < rva_ || dataRva - rva_ > size_ || dataSize > size_ - (dataRva - rva_)) {
      failure = CursorFailure{CursorError::kLengthPastEnd, "resource data address", offset};
      return ResourceError::kDataOutside;
    }
    const uint8_t* data = section_ + (dataRva - rva_);
    r.data.assign(data, data + dataSize);
    out_->push_back(std::move(r));
    return ResourceError::kNone;
  }

  const uint8_t* section_;
  size_t size_;
  uint32_t rva_;
  std::vector<Resource>* out_;
  std::set<uint32_t> visited_;
};

bool SameKeys(const Resource& a, const Resource& b) {
  return a.type == b.type && a.name == b.name && a.language == b.language;
}

size_t Align8(size_t n) { return (n + 7) & ~size_t(7); }

// The directory tree of sorted resources: types, their names, and the
// resources (one per language) under each name.
struct NameNode {
  ResourceKey key;
  std::vector<size_t> resources;
  size_t offset = 0;
};
struct TypeNode {
  ResourceKey key;
  std::vector<NameNode> names;
  size_t offset = 0;
};

// Writes a directory table's header at `at` for these keys; the caller
// writes the entries.
void PutTableHeader(std::vector<uint8_t>* out, size_t at, size_t named, size_t total) {
  Put16(out, at + 12, static_cast<uint32_t>(named));
  Put16(out, at + 14, static_cast<uint32_t>(total - named));
}

}  // namespace

const char* ResourceErrorText(ResourceError error) {
  switch (error) {
    case ResourceError::kNone: return "no error";
    case ResourceError::kBadDirectory: return "a resource directory lies outside the section";
    case ResourceError::kTooDeep: return "resource directories nested other than type, name, language";
    case ResourceError::kLoop: return "a resource directory is reached twice";
    case ResourceError::kBadName: return "a resource name lies outside the section";
    case ResourceError::kDataOutside: return "a resource's data lies outside the section";
  }
  return "unknown error";
}

bool ResourceKeyLess(const ResourceKey& a, const ResourceKey& b) {
  if (a.isName != b.isName) return a.isName;
  if (!a.isName) return a.id < b.id;
  const size_t n = std::min(a.name.size(), b.name.size());
  for (size_t i = 0; i < n; ++i) {
    if (Upper(a.name[i]) != Upper(b.name[i])) return Upper(a.name[i]) < Upper(b.name[i]);
  }
  if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
  return a.name < b.name;
}

ResourceError ReadResources(const uint8_t* section, size_t size, uint32_t sectionRva,
                            std::vector<Resource>* resources, CursorFailure* where) {
  resources->clear();
  Reader reader(section, size, sectionRva, resources);
  Resource path;
  const ResourceError e = reader.Directory(0, 0, &path);
  if (e != ResourceError::kNone) *where = reader.failure;
  return e;
}

std::vector<uint8_t> WriteResources(std::vector<Resource> resources, uint32_t sectionRva) {
  std::stable_sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
    if (!(a.type == b.type)) return ResourceKeyLess(a.type, b.type);
    if (!(a.name == b.name)) return ResourceKeyLess(a.name, b.name);
    return ResourceKeyLess(a.language, b.language);
  });
  resources.erase(std::unique(resources.begin(), resources.end(), SameKeys), resources.end());

  std::vector<TypeNode> types;
  for (size_t i = 0; i < resources.size(); ++i) {
    const Resource& r = resources[i];
    if (types.empty() || !(types.back().key == r.type)) types.push_back(TypeNode{r.type, {}, 0});
    std::vector<NameNode>& names = types.back().names;
    if (names.empty() || !(names.back().key == r.name)) names.push_back(NameNode{r.name, {}, 0});
    names.back().resources.push_back(i);
  }

  // Sizes first: directory tables, data entries, name strings, data.
  size_t offset = kDirectorySize + kEntrySize * types.size();
  for (TypeNode& type : types) {
    type.offset = offset;
    offset += kDirectorySize + kEntrySize * type.names.size();
  }
  for (TypeNode& type : types) {
    for (NameNode& name : type.names) {
      name.offset = offset;
      offset += kDirectorySize + kEntrySize * name.resources.size();
    }
  }
  const size_t dataEntries = offset;
  offset += kDataEntrySize * resources.size();
  size_t strings = offset;
  for (const Resource& r : resources) {
    for (const ResourceKey* key : {&r.type, &r.name, &r.language}) {
      if (key->isName) offset += 2 + 2 * key->name.size();
    }
  }
  std::vector<size_t> dataOffsets;
  for (const Resource& r : resources) {
    offset = Align8(offset);
    dataOffsets.push_back(offset);
    offset += r.data.size();
  }
  std::vector<uint8_t> out(Align8(offset), 0);

  // One directory entry: its key (a name string is written at `strings`)
  // and its target.
  auto putEntry = [&](size_t at, const ResourceKey& key, uint32_t target) {
    if (key.isName) {
      Put32(&out, at, static_cast<uint32_t>(strings) | kHighBit);
      Put16(&out, strings, static_cast<uint32_t>(key.name.size()));
      for (size_t c = 0; c < key.name.size(); ++c) Put16(&out, strings + 2 + 2 * c, key.name[c]);
      strings += 2 + 2 * key.name.size();
    } else {
      Put32(&out, at, key.id);
    }
    Put32(&out, at + 4, target);
  };
  auto countNamed = [](const auto& nodes, auto keyOf) {
    size_t named = 0;
    for (const auto& node : nodes) named += keyOf(node).isName ? 1 : 0;
    return named;
  };

  PutTableHeader(&out, 0, countNamed(types, [](const TypeNode& t) -> const ResourceKey& { return t.key; }),
                 types.size());
  for (size_t t = 0; t < types.size(); ++t) {
    putEntry(kDirectorySize + kEntrySize * t, types[t].key, static_cast<uint32_t>(types[t].offset) | kHighBit);
  }
  for (const TypeNode& type : types) {
    PutTableHeader(&out, type.offset,
                   countNamed(type.names, [](const NameNode& n) -> const ResourceKey& { return n.key; }),
                   type.names.size());
    for (size_t n = 0; n < type.names.size(); ++n) {
      putEntry(type.offset + kDirectorySize + kEntrySize * n, type.names[n].key,
               static_cast<uint32_t>(type.names[n].offset) | kHighBit);
    }
  }
  for (const TypeNode& type : types) {
    for (const NameNode& name : type.names) {
      PutTableHeader(&out, name.offset,
                     countNamed(name.resources, [&](size_t i) -> const ResourceKey& { return resources[i].language; }),
                     name.resources.size());
      for (size_t l = 0; l < name.resources.size(); ++l) {
        const size_t i = name.resources[l];
        putEntry(name.offset + kDirectorySize + kEntrySize * l, resources[i].language,
                 static_cast<uint32_t>(dataEntries + kDataEntrySize * i));
      }
    }
  }
  for (size_t i = 0; i < resources.size(); ++i) {
    const size_t entry = dataEntries + kDataEntrySize * i;
    Put32(&out, entry, sectionRva + static_cast<uint32_t>(dataOffsets[i]));
    Put32(&out, entry + 4, static_cast<uint32_t>(resources[i].data.size()));
    Put32(&out, entry + 8, resources[i].codePage);
    std::copy(resources[i].data.begin(), resources[i].data.end(), out.begin() + dataOffsets[i]);
  }
  return out;
}
