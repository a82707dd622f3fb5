#!/usr/bin/env bash
# Signing: a packed installer signed with a test certificate (self-signed,
# made here with openssl) passes osslsigncode's verification against that
# certificate; packing the signed installer again gives the unsigned one
# back; without osslsigncode the installer is written unsigned and the
# printed command signs it into the output.
. "$(dirname "$0")/pack_test_lib.sh"

setup=$TREE/setup.exe
cd "$WORK"
make_test_certificate

verify() { osslsigncode verify -in "$1" -CAfile cert.pem 2>&1; }

# osslsigncode computes the checksum itself and warns when the header's
# differs: setup-pack's checksum of an unsigned installer must be the one it
# computes.
result=$(verify "$setup")
grep -q "PE checksum" <<<"$result" && ! grep -q "invalid PE checksum" <<<"$result" ||
  fail "the checksum of setup.exe is not the one osslsigncode computes: $result"

"$PACK" --stub "$setup" --sign cert.pfx --pass-file pass.txt -o signed.exe >sign.log 2>&1 ||
  fail "signing failed: $(cat sign.log)"
result=$(verify signed.exe) || fail "verification of the signed installer failed: $result"
grep -q "Signature verification: ok" <<<"$result" || fail "no successful verification: $result"
[ "$(ls -A)" = "$(printf 'cert.pem\ncert.pfx\nkey.pem\npass.txt\nsign.log\nsigned.exe')" ] ||
  fail "files left behind: $(ls -A)"

# Packing the signed installer drops its certificate table.
"$PACK" --stub signed.exe -o resigned.exe 2>repack.log || fail "repacking the signed installer"
grep -q "signature .* was dropped" repack.log || fail "no note of the dropped signature: $(cat repack.log)"
same_file "repacked signed installer" resigned.exe "$setup"
result=$(verify resigned.exe) && fail "the repacked installer still verifies: $result"
grep -q "No signature found" <<<"$result" || fail "the repacked installer is not simply unsigned: $result"

# No osslsigncode: exit status 3, the installer unsigned beside the output,
# and a command that signs it into the output.
rc=0
PATH=/nonexistent "$PACK" --stub "$setup" --sign cert.pfx --pass-file pass.txt \
  --timestamp http://timestamp.invalid/tsa -o "later signed.exe" 2>missing.log || rc=$?
[ "$rc" -eq 3 ] || fail "without osslsigncode: exit status $rc, not 3"
[ -e "later signed.exe" ] && fail "without osslsigncode the output was written"
same_file "the unsigned installer" "later signed-unsigned.exe" "$setup"
command=$(grep -A1 "sign it with:" missing.log | tail -n 1)
grep -qF -- "-ts http://timestamp.invalid/tsa" <<<"$command" || fail "the command lacks the time-stamp server: $command"
# Run it as printed, without the time-stamp server this machine cannot reach.
eval "${command/ -ts http:\/\/timestamp.invalid\/tsa/}" >/dev/null || fail "the printed command failed: $command"
result=$(verify "later signed.exe") || fail "the installer signed by the printed command does not verify: $result"
finish
