#include "tools/setup_pack_cli.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "tools/folder_archive.h"
#include "tools/host_files.h"
#include "tools/setup_pack_lib.h"

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitUnsigned = 3;
// Payloads above this size get progress lines.
constexpr uint64_t kProgressThreshold = 16u << 20;

const char kUsage[] =
    "usage: setup-pack --stub SETUP.EXE [--zip PRODUCT.ZIP | --dir FOLDER] [--brand N] [--product N]\n"
    "                  [--icon APP.ICO] [--version A.B.C.D] [--sign CERT.PFX [--pass-file FILE]\n"
    "                  [--timestamp URL]] [--allow-refused-brand] -o OUTPUT.EXE\n";
const char kHelp[] =
    "Writes a branded installer from a setup program. What is not given is kept from the\n"
    "stub: its payload, brand key, product index, icon and version.\n"
    "  --zip, --dir   the product: an archive, or a folder to archive\n"
    "  --brand, --product  the brand table's row and the product's place in its list\n"
    "  --icon         an icon file with a 48 x 48 image;  --version  a.b.c.d\n"
    "  --sign         sign with osslsigncode (--pass-file: the certificate's password,\n"
    "                 --timestamp: an RFC 3161 time-stamp server)\n"
    "  --allow-refused-brand  write even for a brand and product the installer refuses\n"
    "Exit status: 0 written, 1 refused (nothing written), 2 usage, 3 written unsigned\n"
    "because osslsigncode is missing (the command that signs it is printed).\n";

struct Options {
  std::string stub, zip, dir, icon, output, sign, passFile, timestamp;
  std::string brand, product, version;
  bool allowRefusedBrand = false;
};

void Say(const std::string& message) { std::fprintf(stderr, "setup-pack: %s\n", message.c_str()); }

int Usage(const std::string& problem) {
  Say(problem);
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

bool ParseInt(const std::string& text, int32_t* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

// Parses the arguments; returns "" or the problem.
std::string ParseOptions(const std::vector<std::string>& args, Options* o) {
  const struct {
    const char* name;
    std::string Options::*field;
  } valued[] = {
      {"--stub", &Options::stub},       {"--zip", &Options::zip},         {"--dir", &Options::dir},
      {"--icon", &Options::icon},       {"-o", &Options::output},         {"--sign", &Options::sign},
      {"--pass-file", &Options::passFile}, {"--timestamp", &Options::timestamp},
      {"--brand", &Options::brand},     {"--product", &Options::product}, {"--version", &Options::version},
  };
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--allow-refused-brand") {
      o->allowRefusedBrand = true;
      continue;
    }
    bool known = false;
    for (const auto& option : valued) {
      if (args[i] != option.name) continue;
      if (i + 1 >= args.size()) return std::string(option.name) + " needs a value";
      if (!(o->*option.field).empty()) return std::string(option.name) + " given twice";
      o->*option.field = args[++i];
      known = true;
    }
    if (!known) return "unknown argument \"" + args[i] + "\"";
  }
  if (o->stub.empty()) return "--stub is required";
  if (o->output.empty()) return "-o is required";
  if (!o->zip.empty() && !o->dir.empty()) return "give --zip or --dir, not both";
  if (o->sign.empty() && (!o->passFile.empty() || !o->timestamp.empty())) {
    return "--pass-file and --timestamp go with --sign";
  }
  return "";
}

// The archive of a product folder, with progress lines for a large one.
bool ArchiveFolder(const std::string& folder, std::vector<uint8_t>* zip, std::string* error) {
  std::vector<FolderItem> items;
  if (!ListFolderTree(folder, &items, error)) return false;
  int reported = 0;
  auto progress = [&](uint64_t done, uint64_t total) {
    if (total < kProgressThreshold) return;
    const int percent = static_cast<int>(done * 100 / total);
    if (percent / 10 == reported / 10 && done != total) return;
    reported = percent;
    std::fprintf(stderr, "setup-pack: compressing %s: %d%% of %.1f MB\n", folder.c_str(), percent,
                 static_cast<double>(total) / 1e6);
  };
  return MakeFolderArchive(items, zip, error, progress);
}

// "MySetup.exe" -> "MySetup-unsigned.exe".
std::string UnsignedName(const std::string& output) {
  const size_t dot = output.rfind('.');
  const size_t slash = output.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return output + "-unsigned";
  return output.substr(0, dot) + "-unsigned" + output.substr(dot);
}

std::vector<std::string> SignCommand(const std::string& program, const Options& o, const std::string& in,
                                     const std::string& out) {
  std::vector<std::string> command = {program, "sign", "-pkcs12", o.sign};
  if (!o.passFile.empty()) command.insert(command.end(), {"-readpass", o.passFile});
  command.insert(command.end(), {"-h", "sha256"});
  if (!o.timestamp.empty()) command.insert(command.end(), {"-ts", o.timestamp});
  command.insert(command.end(), {"-in", in, "-out", out});
  return command;
}

// Signs `installer` into the output; nothing is left behind on failure.
int SignInto(const Options& o, const std::vector<uint8_t>& installer) {
  std::string error;
  const std::string tool = FindProgramInPath("osslsigncode");
  if (tool.empty()) {
    const std::string unsignedPath = UnsignedName(o.output);
    if (!WriteFileInPlace(unsignedPath, installer, &error)) {
      Say(error);
      return kExitFailed;
    }
    std::string line;
    for (const std::string& a : SignCommand("osslsigncode", o, unsignedPath, o.output)) {
      line += (line.empty() ? "" : " ") + QuoteForShell(a);
    }
    Say("osslsigncode is not installed: the installer was written unsigned to " + unsignedPath +
        "; sign it with:\n  " + line);
    return kExitUnsigned;
  }
  const std::string unsignedPath = TemporaryNameBeside(o.output) + ".unsigned";
  const std::string signedPath = TemporaryNameBeside(o.output) + ".signed";
  if (!WriteFileInPlace(unsignedPath, installer, &error)) {
    Say(error);
    return kExitFailed;
  }
  const int rc = RunProgram(SignCommand(tool, o, unsignedPath, signedPath));
  RemoveFile(unsignedPath);
  if (rc != 0) {
    RemoveFile(signedPath);
    Say(rc < 0 ? "cannot run " + tool : "osslsigncode failed (exit status " + std::to_string(rc) + ")");
    return kExitFailed;
  }
  if (!RenameFile(signedPath, o.output, &error)) {
    RemoveFile(signedPath);
    Say(error);
    return kExitFailed;
  }
  return kExitWritten;
}

}  // namespace

int RunSetupPack(const std::vector<std::string>& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    std::fputs(kHelp, stdout);
    return kExitWritten;
  }
  Options o;
  if (const std::string problem = ParseOptions(args, &o); !problem.empty()) return Usage(problem);

  PackRequest request;
  if (!o.brand.empty() && !ParseInt(o.brand, &request.brandKey)) return Usage("--brand takes an integer");
  if (!o.product.empty() && !ParseInt(o.product, &request.productIndex)) {
    return Usage("--product takes an integer");
  }
  request.hasBrandKey = !o.brand.empty();
  request.hasProductIndex = !o.product.empty();
  if (!o.version.empty() && !ParseFileVersion(o.version, &request.version)) {
    return Usage("--version takes one to four numbers from 0 to 65535, e.g. 1.2.3.4");
  }
  request.hasVersion = !o.version.empty();
  request.allowRefusedBrand = o.allowRefusedBrand;

  std::string error;
  std::vector<uint8_t> stub;
  if (!ReadWholeFile(o.stub, &stub, &error) ||
      (!o.icon.empty() && !ReadWholeFile(o.icon, &request.iconFile, &error)) ||
      (!o.zip.empty() && !ReadWholeFile(o.zip, &request.archive, &error))) {
    Say(error + "; nothing written");
    return kExitFailed;
  }
  if (!o.dir.empty() && !ArchiveFolder(o.dir, &request.archive, &error)) {
    Say(o.dir + ": " + error + "; nothing written");
    return kExitFailed;
  }
  for (const auto& [path, bytes] : {std::make_pair(o.icon, &request.iconFile), std::make_pair(o.zip, &request.archive)}) {
    if (!path.empty() && bytes->empty()) {
      Say(path + ": empty file; nothing written");
      return kExitFailed;
    }
  }

  PackResult result;
  const PackError packError = PackInstaller(stub, request, &result, &error);
  if (packError != PackError::kNone) {
    const std::string& source = packError == PackError::kPayload ? (!o.dir.empty() ? o.dir : !o.zip.empty() ? o.zip : o.stub)
                                : packError == PackError::kStub  ? o.stub
                                : packError == PackError::kIcon  ? o.icon
                                                                 : std::string();
    Say((source.empty() ? "" : source + ": ") + error + "; nothing written");
    return kExitFailed;
  }
  for (const std::string& note : result.notes) Say(note);
  if (request.archive.size() >= kProgressThreshold) {
    Say("packed " + std::to_string(request.archive.size()) + " bytes of payload for " + result.productName);
  }
  if (!o.sign.empty()) return SignInto(o, result.installer);
  if (!WriteFileInPlace(o.output, result.installer, &error)) {
    Say(error + "; nothing written");
    return kExitFailed;
  }
  return kExitWritten;
}
