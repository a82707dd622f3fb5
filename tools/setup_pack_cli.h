// setup-pack's command line: writes a branded installer from a prebuilt
// setup program, and signs it.
//
//   setup-pack --stub setup.exe [--zip product.zip | --dir product-folder]
//              [--brand N] [--product N] [--icon app.ico] [--version 1.2.3.4]
//              [--sign cert.pfx [--pass-file F] [--timestamp URL]]
//              [--allow-refused-brand] -o MySetup.exe
//
// What is not given is kept from the stub (its payload, brand row, product,
// icon, version), else the build's defaults (brand 0, product 22, version
// 1.0.0.0). The payload passes every check the build makes (see
// tools/payload_zip_check.h), the archive's root holding the brand's
// product as <name>.exe; the output is written under a temporary name and
// renamed, so nothing is written when packing or signing fails.
//
// --sign signs the installer with Authenticode through osslsigncode
// (SHA-256; --timestamp: an RFC 3161 server). When osslsigncode is not
// installed the installer is written unsigned beside the output, as
// NAME-unsigned.exe, and the command that signs it into the output is
// printed.
//
// Exit status: 0 written; 1 refused or failed, nothing written (a message
// on stderr names the problem, and the entry at fault for a payload); 2
// usage error; 3 written unsigned because osslsigncode is missing.
#pragma once

#include <string>
#include <vector>

// Runs setup-pack with its arguments (UTF-8, without the program name).
// Returns the exit status.
int RunSetupPack(const std::vector<std::string>& args);
