// setup-pack's rewriting of a stub (tools/setup_pack_lib.h, tools/pe_image.h)
// on small images laid out as the linker lays out setup.exe: what stays
// byte for byte, what moves, the headers that follow, re-packing, and the
// stubs and requests it refuses.
#include "tools/setup_pack_lib.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <zlib.h>

#include "payload/product_section.h"
#include "tests/native/pe_test_support.h"
#include "tools/pe_image.h"
#include "tools/pe_resources.h"

namespace {

using Bytes = std::vector<uint8_t>;

// An installable payload for brand 0, product 22: the product's executable
// at the root, stored.
Bytes Zip(const std::string& name = "VantrelCorvane.exe", uint16_t flags = 0) {
  const std::string data = "MZ";
  Bytes b;
  auto put16 = [&](uint32_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); };
  auto put32 = [&](uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
  auto header = [&](bool central) {
    put32(central ? 0x02014B50 : 0x04034B50);
    if (central) put16(20);
    put16(20);
    put16(flags);
    put16(0);
    put32(0x4CA18B61);
    put32(0x12345678);
    put32(2);
    put32(2);
    put16(static_cast<uint32_t>(name.size()));
    put16(0);
    if (central) {
      put16(0);
      put16(0);
      put16(0);
      put32(0x20);
      put32(0);
    }
    b.insert(b.end(), name.begin(), name.end());
  };
  header(false);
  b.insert(b.end(), data.begin(), data.end());
  const uint32_t directory = static_cast<uint32_t>(b.size());
  header(true);
  const uint32_t directorySize = static_cast<uint32_t>(b.size()) - directory;
  put32(0x06054B50);
  put32(0);
  put16(1);
  put16(1);
  put32(directorySize);
  put32(directory);
  put16(0);
  return b;
}

Resource Manifest() {
  Resource r;
  r.type = ResourceKey::Id(kResourceManifest);
  r.name = ResourceKey::Id(1);
  r.language = ResourceKey::Id(0x409);
  const std::string xml = "<assembly/>";
  r.data.assign(xml.begin(), xml.end());
  return r;
}

// A stub as the linker leaves setup.exe: code, data, resources holding the
// manifest, relocations last.
petest::ImageLayout StubLayout(bool pe32Plus = true) {
  petest::ImageLayout layout;
  layout.pe32Plus = pe32Plus;
  layout.sections = {
      {".text", petest::Filler(0x1234, 1), 0x60000020},
      {".rdata", petest::Filler(0x321, 2), 0x40000040, 1},  // the imports
      {".rsrc", WriteResources({Manifest()}, 0x4000), 0xC0000040, kDirectoryResource},
      {".reloc", petest::Filler(0x48, 3), 0x42000040, kDirectoryBaseRelocation},
  };
  return layout;
}

PeImage Read(const Bytes& file) {
  PeImage image;
  CursorFailure where;
  EXPECT_EQ(ReadPeImage(file.data(), file.size(), &image, &where), PeError::kNone);
  return image;
}

Bytes RawData(const Bytes& file, const PeSection& s) {
  return Bytes(file.begin() + s.rawPointer, file.begin() + s.rawPointer + s.virtualSize);
}

PackResult Pack(const Bytes& stub, const PackRequest& request) {
  PackResult result;
  std::string error;
  EXPECT_EQ(PackInstaller(stub, request, &result, &error), PackError::kNone) << error;
  return result;
}

PackRequest WithPayload() {
  PackRequest r;
  r.archive = Zip();
  return r;
}

TEST(PackImage, KeepsTheSectionsBeforeTheResourcesAndRebuildsTheRest) {
  for (bool pe32Plus : {true, false}) {
    SCOPED_TRACE(pe32Plus ? "PE32+" : "PE32");
    const Bytes stub = petest::MakeImage(StubLayout(pe32Plus));
    const PeImage before = Read(stub);
    PackRequest request = WithPayload();
    request.hasBrandKey = true;
    request.brandKey = 1;
    request.hasProductIndex = true;
    request.productIndex = 3;
    request.archive = Zip("OstrelAudio.exe");
    const Bytes out = Pack(stub, request).installer;
    const PeImage after = Read(out);

    ASSERT_EQ(after.sections.size(), 5u);
    const char* names[] = {".text", ".rdata", ".rsrc", ".reloc", ".payload"};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(after.sections[i].name, names[i]);
    // Code and data where they were, byte for byte, headers and all.
    const uint32_t keptEnd = before.sections[2].rawPointer;
    EXPECT_TRUE(std::equal(stub.begin() + 0x400, stub.begin() + keptEnd, out.begin() + 0x400));
    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(after.sections[i].virtualAddress, before.sections[i].virtualAddress);
      EXPECT_EQ(after.sections[i].rawPointer, before.sections[i].rawPointer);
    }
    EXPECT_EQ(after.Directory(1).address, before.Directory(1).address);
    EXPECT_EQ(after.dllCharacteristics, before.dllCharacteristics);
    // The relocations moved behind the new resources, unchanged.
    const PeSection& reloc = after.sections[3];
    EXPECT_EQ(RawData(out, reloc), RawData(stub, before.sections[3]));
    EXPECT_EQ(after.Directory(kDirectoryBaseRelocation).address, reloc.virtualAddress);
    EXPECT_EQ(after.Directory(kDirectoryBaseRelocation).size, 0x48u);
    EXPECT_EQ(after.sections[2].virtualAddress, before.sections[2].virtualAddress);
    EXPECT_EQ(after.Directory(kDirectoryResource).address, after.sections[2].virtualAddress);
    EXPECT_EQ(after.Directory(kDirectoryResource).size, after.sections[2].virtualSize);
    // Contiguous addresses and file data, the image ending with the product.
    for (size_t i = 1; i < 5; ++i) {
      const PeSection& p = after.sections[i - 1];
      EXPECT_EQ(after.sections[i].virtualAddress, petest::Align(p.virtualAddress + p.virtualSize, 0x1000));
      EXPECT_EQ(after.sections[i].rawPointer, p.rawPointer + p.rawSize);
    }
    const PeSection& product = after.sections[4];
    EXPECT_EQ(after.sizeOfImage, product.virtualAddress + petest::Align(product.virtualSize, 0x1000));
    EXPECT_EQ(out.size(), product.rawPointer + product.rawSize);
    uint32_t initialized = 0;
    for (const PeSection& s : after.sections) initialized += (s.characteristics & 0x40) ? s.rawSize : 0;
    EXPECT_EQ(after.sizeOfInitializedData, initialized);

    // The loader's view: the record the installer reads.
    const Bytes mapped = petest::MapImage(out);
    ProductSectionView view;
    ASSERT_EQ(LocateProductSection(mapped.data(), mapped.size(), &view), ProductSectionError::kNone);
    EXPECT_EQ(view.brandKey, 1);
    EXPECT_EQ(view.productIndex, 3);
    EXPECT_EQ(Bytes(view.archive, view.archive + view.archiveSize), request.archive);
    EXPECT_EQ(view.archiveCrc, crc32(0, request.archive.data(), static_cast<uInt>(request.archive.size())));
    EXPECT_EQ(after.checksum, PeChecksum(out.data(), out.size(), after.ChecksumOffset()));
  }
}

TEST(PackImage, ResourcesKeepTheStubsAndGainIconAndVersion) {
  PackRequest request = WithPayload();
  request.hasVersion = true;
  request.version.part[0] = 3;
  const PackResult result = Pack(petest::MakeImage(StubLayout()), request);
  const PeImage image = Read(result.installer);
  const PeSection& rsrc = image.sections[2];
  std::vector<Resource> resources;
  CursorFailure where;
  ASSERT_EQ(ReadResources(result.installer.data() + rsrc.rawPointer, rsrc.virtualSize, rsrc.virtualAddress,
                          &resources, &where),
            ResourceError::kNone);
  ASSERT_EQ(resources.size(), 2u);  // no icon given and none in the stub
  EXPECT_EQ(resources[0].type.id, kResourceVersion);
  EXPECT_EQ(resources[0].language.id, 0x0804);
  EXPECT_EQ(resources[1].data, Manifest().data);
  EXPECT_EQ(result.productName, "VantrelCorvane");
  EXPECT_EQ(FormatFileVersion(result.version), "3.0.0.0");
}

TEST(PackImage, RepackingKeepsWhatItIsNotToldAndGivesTheSameBytes) {
  PackRequest first = WithPayload();
  first.hasBrandKey = first.hasProductIndex = first.hasVersion = true;
  first.brandKey = 1;
  first.productIndex = 3;
  first.archive = Zip("OstrelAudio.exe");
  ParseFileVersion("2.5.0.7", &first.version);
  const Bytes packed = Pack(petest::MakeImage(StubLayout()), first).installer;

  const PackResult again = Pack(packed, PackRequest{});
  EXPECT_EQ(again.installer, packed);
  EXPECT_EQ(again.brandKey, 1);
  EXPECT_EQ(again.productIndex, 3);
  EXPECT_EQ(FormatFileVersion(again.version), "2.5.0.7");
  EXPECT_TRUE(again.notes.empty());
}

TEST(PackImage, ASignedInstallerRepacksToTheUnsignedOne) {
  const Bytes packed = Pack(petest::MakeImage(StubLayout()), WithPayload()).installer;
  // A certificate table appended as a signing tool appends it, named by the
  // security directory and counted in the checksum.
  Bytes signedFile = packed;
  const uint32_t at = static_cast<uint32_t>(signedFile.size());
  const Bytes certificate = petest::Filler(0x5F8, 9);
  signedFile.insert(signedFile.end(), certificate.begin(), certificate.end());
  petest::Put32(&signedFile, petest::DirectoryAt(signedFile, kDirectorySecurity), at);
  petest::Put32(&signedFile, petest::DirectoryAt(signedFile, kDirectorySecurity) + 4, 0x5F8);
  const PeImage image = Read(signedFile);
  petest::Put32(&signedFile, image.ChecksumOffset(),
                PeChecksum(signedFile.data(), signedFile.size(), image.ChecksumOffset()));

  const PackResult result = Pack(signedFile, PackRequest{});
  EXPECT_EQ(result.installer, packed);
  ASSERT_EQ(result.notes.size(), 1u);
  EXPECT_NE(result.notes[0].find("signature (1528 bytes) was dropped"), std::string::npos) << result.notes[0];
}

TEST(PackImage, RefusalsNameTheirReason) {
  using Change = std::function<void(petest::ImageLayout*, Bytes*, PackRequest*)>;
  const auto none = [](petest::ImageLayout*, Bytes*, PackRequest*) {};
  const struct {
    const char* what;
    Change beforeLayout;  // changes the stub's layout
    Change afterLayout;   // changes its bytes or the request
    PackError expected;
    const char* message;
  } cases[] = {
      {"not a program", none, [](petest::ImageLayout*, Bytes* b, PackRequest*) { (*b)[0] = 'Z'; }, PackError::kStub,
       "not a Windows program"},
      {"optional header magic", none,
       [](petest::ImageLayout*, Bytes* b, PackRequest*) { (*b)[petest::OptionalHeader(*b)] = 0x0C; }, PackError::kStub,
       "unsupported optional header"},
      {"symbol table", none,
       [](petest::ImageLayout*, Bytes* b, PackRequest*) { petest::Put32(b, 0x80 + 12, 0x5000); }, PackError::kStub,
       "symbol table"},
      {"a section after the resources",
       [](petest::ImageLayout* s, Bytes*, PackRequest*) { s->sections.push_back({".tls", petest::Filler(8, 4)}); }, none,
       PackError::kStub, "section .reloc follows .rsrc"},
      {"TLS directory inside the resources", none,
       [](petest::ImageLayout*, Bytes* b, PackRequest*) {
         petest::Put32(b, petest::DirectoryAt(*b, 9), 0x4010);
         petest::Put32(b, petest::DirectoryAt(*b, 9) + 4, 0x28);
       },
       PackError::kStub, "data directory 9"},
      {"no room for another section entry",
       [](petest::ImageLayout* s, Bytes*, PackRequest*) { s->lfanew = 0x400 - 24 - 240 - 4 * 40; }, none,
       PackError::kStub, "no room for another section"},
      {"no payload anywhere", none, [](petest::ImageLayout*, Bytes*, PackRequest* r) { r->archive.clear(); },
       PackError::kNoPayload, "give --zip or --dir"},
      {"encrypted entry", none, [](petest::ImageLayout*, Bytes*, PackRequest* r) { r->archive = Zip("VantrelCorvane.exe", 1); },
       PackError::kPayload, "entry 0 \"VantrelCorvane.exe\": the entry is encrypted"},
      {"another product", none,
       [](petest::ImageLayout*, Bytes*, PackRequest* r) {
         r->hasBrandKey = r->hasProductIndex = true;
         r->brandKey = 2;
         r->productIndex = 1;
       },
       PackError::kPayload, "no file entry \"PemaroNotes.exe\""},
      {"a brand without a row", none,
       [](petest::ImageLayout*, Bytes*, PackRequest* r) {
         r->hasBrandKey = true;
         r->brandKey = 6;
       },
       PackError::kBrand, "the brand table has no row 6; the installer would end at start with runtime error 1"},
      {"icon file that is not one", none,
       [](petest::ImageLayout*, Bytes*, PackRequest* r) { r->iconFile = {1, 2, 3, 4, 5, 6}; }, PackError::kIcon,
       "icon: not an icon file"},
  };
  for (const auto& c : cases) {
    petest::ImageLayout layout = StubLayout();
    PackRequest request = WithPayload();
    Bytes ignored;
    c.beforeLayout(&layout, &ignored, &request);
    Bytes stub = petest::MakeImage(layout);
    c.afterLayout(&layout, &stub, &request);
    PackResult result;
    std::string error;
    EXPECT_EQ(PackInstaller(stub, request, &result, &error), c.expected) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
    EXPECT_TRUE(result.installer.empty()) << c.what;
  }
}

TEST(PackImage, ARefusedBrandIsPackedWhenAllowed) {
  PackRequest request = WithPayload();
  request.hasBrandKey = true;
  request.brandKey = 6;
  request.allowRefusedBrand = true;
  const PackResult result = Pack(petest::MakeImage(StubLayout()), request);
  const Bytes mapped = petest::MapImage(result.installer);
  ProductSectionView view;
  ASSERT_EQ(LocateProductSection(mapped.data(), mapped.size(), &view), ProductSectionError::kNone);
  EXPECT_EQ(view.brandKey, 6);
  EXPECT_EQ(view.productIndex, 22);
  EXPECT_EQ(result.productName, "");
}

// Sums worked out by hand: 16-bit words with end-around carry, the checksum
// field left out, an odd last byte a word of its own, plus the length.
TEST(PeChecksum, HandWorkedSums) {
  const struct {
    Bytes file;
    size_t checksumOffset;
    uint32_t expected;
  } cases[] = {
      {{0x01, 0x02, 0x03}, 100, 0x0201 + 0x0003 + 3},
      {{0xFF, 0xFF, 0x02, 0x00}, 100, 0x0002 + 4},              // 0xFFFF + 2 carries around
      {{0x10, 0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0x20, 0x00}, 2, 0x0030 + 8},  // the field skipped
  };
  for (const auto& c : cases) EXPECT_EQ(PeChecksum(c.file.data(), c.file.size(), c.checksumOffset), c.expected);
}

}  // namespace
