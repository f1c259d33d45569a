# Helpers of the tests of the publisher's build (tests/branded-build, tests/signed-build,
# tests/token-signed-build), sourced once they have set source_dir, scratch and toolchain: making
# throwaway certificates, configuring, expecting a refusal, building twice and comparing, checking
# a signature, and looking for a secret in the files a build left.

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# configure BUILD_DIR OPTIONS...: configures a publisher's build; cmake's output in BUILD_DIR.log.
configure() {
  local dir=$1; shift
  cmake -S "$source_dir" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" "$@" >"$dir.log" 2>&1
}

# expect_refusal EXPECTED OPTIONS...: configure must refuse OPTIONS with a message that holds
# EXPECTED, and generate no build. The message, its line wrapping undone, is left in `refusal`,
# and cmake's output in $scratch/refused.log until the next call.
expect_refusal() {
  local expected=$1; shift
  rm -rf "$scratch/refused" "$scratch/refused.log"
  refusal=""
  if configure "$scratch/refused" "$@"; then
    fail "configure took $*"
    return
  fi
  refusal=$(tr -s ' \n' '  ' < "$scratch/refused.log" | sed -n 's/.*(message): \(.*\) Call Stack.*/\1/p')
  if ! grep -qF -- "$expected" <<<"$refusal" || [ -e "$scratch/refused/build.ninja" ]; then
    fail "configure refused $* without saying \"$expected\", or generated a build:"
    cat "$scratch/refused.log" >&2
  else
    echo "ok: refused: $refusal"
  fi
}

# make_test_certificates DIR: throwaway certificates for the signing tests (nothing of them is kept
# in the repository), each a .pfx with the password in DIR/password.txt:
#   signing.pfx  a self-signed code-signing certificate, valid for a month
#   server.pfx   a certificate for TLS servers only, not for code signing
#   named.pfx    the same, with "Code Signing" in its name: only its extension may decide
#   expired.pfx  a code-signing certificate that expired in 2021
#   signing.pem  the certificate of signing.pfx, to verify signatures against
#   issued.pfx   a code-signing certificate from a test authority (authority.pem), naming a CRL
#                distribution point on 127.0.0.1 where nothing listens, as an authority's does
#   issued.pem   its certificate and the authority's
make_test_certificates() {
  mkdir -p "$1"
  ( cd "$1"
    printf 'throwaway %s\n' "$(od -An -N8 -tx8 /dev/urandom | tr -d ' ')" > password.txt
    code_signing="extendedKeyUsage=codeSigning"
    make_pfx() {  # make_pfx NAME KEY_USAGE [openssl req -x509 options...]: NAME.pfx from a new key
      local name=$1 usage=$2
      shift 2
      openssl req -x509 -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.pem" -subj "${subject:-/CN=Wgame test $name}" \
        -addext "$usage" -addext "keyUsage=digitalSignature" -addext "basicConstraints=CA:FALSE" "$@" 2>/dev/null
      openssl pkcs12 -export -in "$name.pem" -inkey "$name.key" -out "$name.pfx" -passout file:password.txt
      rm -f "$name.key"
    }
    make_pfx signing "$code_signing" -days 30
    make_pfx server "extendedKeyUsage=serverAuth" -days 30
    subject="/CN=Wgame Code Signing server/OU=Code Signing" make_pfx named "extendedKeyUsage=serverAuth" -days 30

    # An expired one: openssl req cannot date a certificate back, openssl ca can.
    mkdir -p ca
    : > ca/index.txt
    echo 01 > ca/serial
    cat > ca/openssl.cnf <<'CNF'
[ca]
default_ca = expired
[expired]
dir = ca
database = ca/index.txt
serial = ca/serial
new_certs_dir = ca
default_md = sha256
policy = anything
x509_extensions = code_signing
[anything]
commonName = supplied
[code_signing]
extendedKeyUsage = codeSigning
keyUsage = digitalSignature
basicConstraints = CA:FALSE
CNF
    openssl req -new -newkey rsa:2048 -nodes -keyout expired.key -out expired.csr -subj "/CN=Wgame test expired" 2>/dev/null
    openssl ca -batch -config ca/openssl.cnf -selfsign -keyfile expired.key -in expired.csr -out expired.pem \
      -startdate 20200101000000Z -enddate 20210101000000Z >/dev/null 2>&1
    openssl pkcs12 -export -in expired.pem -inkey expired.key -out expired.pfx -passout file:password.txt
    rm -rf ca expired.key expired.csr

    openssl req -x509 -newkey rsa:2048 -nodes -keyout authority.key -out authority.pem -days 30 \
      -subj "/CN=Wgame test authority" -addext "basicConstraints=critical,CA:TRUE" \
      -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
    openssl req -new -newkey rsa:2048 -nodes -keyout issued.key -out issued.csr -subj "/CN=Wgame test publisher" 2>/dev/null
    printf '%s\n' "$code_signing" "keyUsage=digitalSignature" "basicConstraints=CA:FALSE" \
      "crlDistributionPoints=URI:http://127.0.0.1:9/authority.crl" > issued.ext
    openssl x509 -req -in issued.csr -CA authority.pem -CAkey authority.key -set_serial 2 -days 30 \
      -extfile issued.ext -out issued.pem 2>/dev/null
    openssl pkcs12 -export -in issued.pem -inkey issued.key -certfile authority.pem -out issued.pfx -passout file:password.txt
    cat authority.pem >> issued.pem
    rm -f authority.key issued.key issued.csr issued.ext
  )
}

# verify_options: what `osslsigncode verify` needs here to fetch nothing (-ignore-crl where this
# osslsigncode would fetch revocation lists), as the build's own verification asks.
verify_options() {
  if osslsigncode --help 2>/dev/null | grep -q -- -ignore-crl; then echo -ignore-crl; fi
}

# build_twice_and_compare WHAT OPTIONS...: two publisher's builds of the launcher, the report and
# the installer, in $scratch/first and $scratch/second, must give the same bytes.
build_twice_and_compare() {
  local what=$1 build program exe; shift
  for build in first second; do
    configure "$scratch/$build" "$@" || { fail "configure ($what):"; cat "$scratch/$build.log" >&2; exit 1; }
    cmake --build "$scratch/$build" --target launcher launcher-report installer >"$scratch/$build.build.log" 2>&1 ||
      { fail "the build ($what):"; cat "$scratch/$build.build.log" >&2; exit 1; }
  done
  for program in launcher launcher-report launcher-setup; do
    exe=$scratch/first/$program.exe
    if cmp -s "$exe" "$scratch/second/$program.exe"; then
      echo "ok: $program.exe $what twice, the same bytes: sha256 $(sha256sum < "$exe" | cut -d' ' -f1)"
    else
      fail "the two $program.exe ($what) differ"
    fi
  done
}

# expect_signed EXE CERT_PEM [DESCRIPTION URL]: EXE's signature verifies offline as made by the
# first certificate of CERT_PEM (pinned by its hash, the rest of the file its chain), and carries
# the description and URL the build gives it, when they are given.
expect_signed() {
  local exe=$1 ca=$2 description=${3:-} url=${4:-} signer
  signer=$(openssl x509 -in "$ca" -outform DER | sha256sum | cut -d' ' -f1)
  if osslsigncode verify $(verify_options) -in "$exe" -CAfile "$ca" -require-leaf-hash "sha256:$signer" \
       >"$scratch/verify.log" 2>&1 &&
     { [ -z "$description" ] || grep -q "Text description: $description\$" "$scratch/verify.log"; } &&
     { [ -z "$url" ] || grep -q "URL description: $url\$" "$scratch/verify.log"; }; then
    echo "ok: $(basename "$exe") is signed by $(basename "$ca")${description:+, described as $description, $url}"
  else
    fail "$exe is not signed by $ca, or is described otherwise:"; cat "$scratch/verify.log" >&2
  fi
}

# expect_secret_nowhere SECRET WHAT PATHS...: no file below PATHS holds SECRET.
expect_secret_nowhere() {
  local secret=$1 what=$2; shift 2
  if grep -rlF -- "$secret" "$@"; then
    fail "the $what is in the files above"
  else
    echo "ok: the $what is in no file of the builds, their caches or their logs"
  fi
}
