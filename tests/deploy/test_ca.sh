# shellcheck shell=bash
# A CA of the test's own and server certificates it signs, made on the spot
# with the openssl command line; sourced by deploy.sh (bash). Keys are P-256,
# valid for two days, unencrypted.
#
#   test_ca_make DIR NAME
#       a CA: DIR/NAME.pem (its certificate, what a client trusts) and
#       DIR/NAME.key.
#   test_ca_sign DIR CA NAME
#       a server certificate for 127.0.0.1 and localhost (subjectAltName,
#       so that clients checking the name accept it), signed by the CA
#       DIR/CA.pem: DIR/NAME.crt and DIR/NAME.key.

test_ca_make() {
  local dir="$1" name="$2"
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
    -subj "/CN=zel test $name" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$dir/$name.key" -out "$dir/$name.pem" 2>/dev/null
}

test_ca_sign() {
  local dir="$1" ca="$2" name="$3"
  openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
    -subj "/CN=127.0.0.1" -keyout "$dir/$name.key" -out "$dir/$name.csr" 2>/dev/null
  printf '%s\n' "subjectAltName=IP:127.0.0.1,DNS:localhost" \
    "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
    "extendedKeyUsage=serverAuth" >"$dir/$name.ext"
  openssl x509 -req -in "$dir/$name.csr" -CA "$dir/$ca.pem" -CAkey "$dir/$ca.key" \
    -set_serial "0x$(openssl rand -hex 8)" -days 2 -extfile "$dir/$name.ext" \
    -out "$dir/$name.crt" 2>/dev/null
  rm -f "$dir/$name.csr" "$dir/$name.ext"
}
