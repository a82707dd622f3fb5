# Helpers of the setup-pack tests (sourced). The tests get their inputs from
# the environment that ctest sets (tests/static/CMakeLists.txt):
#   PACK       the host's setup-pack
#   TREE       the build tree (setup.exe, test programs)
#   WORK       a scratch folder of the test, made empty here
#   DEMO_ZIP, DEMO_MANIFEST, BRAND, PRODUCT, ICON, VERSION: the build's settings
set -uo pipefail
export LC_ALL=C.UTF-8
failures=0
rm -rf "$WORK"
mkdir -p "$WORK"

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Ends the test with the count of failures.
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}

same_file() {  # same_file WHAT A B
  cmp -s "$2" "$3" || fail "$1: $2 differs from $3"
}

# Lays out the demo product from the build's manifest as a folder, in the
# reverse of the manifest's order and at another path than the build's
# copy, with the manifest's times as UTC last-write times.
stage_demo_folder() {  # stage_demo_folder FOLDER
  local folder=$1 kind name source time attributes rest
  mkdir -p "$folder"
  local lines
  mapfile -t lines < <(grep -E '^(file|folder)'$'\t' "$DEMO_MANIFEST" | tac)
  for line in "${lines[@]}"; do
    IFS=$'\t' read -r kind name source time attributes rest <<<"$line"
    if [ "$kind" = file ]; then
      mkdir -p "$(dirname "$folder/$name")"
      cp "$source" "$folder/$name"
      touch -d "$time UTC" "$folder/$name"
    fi
  done
  for line in "${lines[@]}"; do
    IFS=$'\t' read -r kind name time attributes rest <<<"$line"
    [ "$kind" = folder ] && mkdir -p "$folder/$name" && touch -d "$time UTC" "$folder/$name"
  done
}

# Sets the 16-bit field at local-header offset LOCAL and central-record
# offset CENTRAL of the entry named NAME (bytes as stored) to VALUE.
zip_set_field() {  # zip_set_field ZIP NAME LOCAL CENTRAL VALUE
  perl -e '
    my ($file, $name, $local, $central, $value) = @ARGV;
    open(my $f, "+<:raw", $file) or die "$file: $!";
    local $/; my $d = <$f>;
    my @at;
    while ($d =~ /PK\x03\x04/g) {
      my $p = pos($d) - 4;
      push @at, $p + $local if substr($d, $p + 30, unpack("v", substr($d, $p + 26, 2))) eq $name;
    }
    while ($d =~ /PK\x01\x02/g) {
      my $p = pos($d) - 4;
      push @at, $p + $central if substr($d, $p + 46, unpack("v", substr($d, $p + 28, 2))) eq $name;
    }
    die "entry $name not found twice\n" unless @at == 2;
    substr($d, $_, 2) = pack("v", $value) for @at;
    seek($f, 0, 0); print $f $d; close($f);' "$@"
}

# A self-signed code-signing certificate in the current folder: cert.pem,
# key.pem, and cert.pfx protected by the password in pass.txt.
make_test_certificate() {
  openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj "/CN=Setup Pack Test Publisher" -addext "extendedKeyUsage=codeSigning" 2>/dev/null ||
    fail "openssl could not make the test certificate"
  printf 'test-password\n' >pass.txt
  openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.pfx -passout file:pass.txt ||
    fail "openssl could not export the test certificate"
}

# A path as a Windows program under Wine names it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
