// The libcrypto functions the programs call (signatures and session ids in
// the service, certificates and errors in the HTTP layer), each forwarding to
// OpenSSL's libcrypto loaded on its first call. Loading and binding libcrypto
// costs about two million instructions, so a start maps it only when the
// program first needs it: a login, a token, a TLS connection.
//
// A function the programs start to use is added to the list below; until
// then the program fails to link, naming it.
#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/opensslv.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/sha.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include "OnDemand.h"

// The forwarders repeat the declarations of SHA256_Init and its kin, which
// OpenSSL 3 marks deprecated (the service keeps a key's fingerprint with them).
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

// libcrypto's soname: the major version the headers are of.
constexpr zel::on_demand::Library kLibcrypto{
    ZEL_ON_DEMAND_SONAME("libcrypto.so.", OPENSSL_VERSION_MAJOR), "OpenSSL's libcrypto"};

}  // namespace

#define ZEL_CRYPTO_FORWARD(result, name, parameters, arguments) \
  ZEL_FORWARD_ON_DEMAND(kLibcrypto, result, name, parameters, arguments)

// Random bytes and digests.
ZEL_CRYPTO_FORWARD(int, RAND_bytes, (unsigned char* buf, int num), (buf, num))
ZEL_CRYPTO_FORWARD(int, SHA256_Init, (SHA256_CTX * c), (c))
ZEL_CRYPTO_FORWARD(int, SHA256_Update, (SHA256_CTX * c, const void* data, size_t len),
                   (c, data, len))
ZEL_CRYPTO_FORWARD(int, SHA256_Final, (unsigned char* md, SHA256_CTX* c), (md, c))
ZEL_CRYPTO_FORWARD(int, EVP_EncodeBlock, (unsigned char* t, const unsigned char* f, int n),
                   (t, f, n))
ZEL_CRYPTO_FORWARD(int, EVP_DecodeBlock, (unsigned char* t, const unsigned char* f, int n),
                   (t, f, n))

// Keys and signatures.
ZEL_CRYPTO_FORWARD(EVP_PKEY*, PEM_read_bio_PUBKEY,
                   (BIO * bp, EVP_PKEY** x, pem_password_cb* cb, void* u), (bp, x, cb, u))
ZEL_CRYPTO_FORWARD(EVP_PKEY*, PEM_read_bio_PrivateKey,
                   (BIO * bp, EVP_PKEY** x, pem_password_cb* cb, void* u), (bp, x, cb, u))
ZEL_CRYPTO_FORWARD(EVP_PKEY*, EVP_PKEY_new_raw_public_key,
                   (int type, ENGINE* e, const unsigned char* pub, size_t len), (type, e, pub, len))
ZEL_CRYPTO_FORWARD(int, EVP_PKEY_get_raw_public_key,
                   (const EVP_PKEY* pkey, unsigned char* pub, size_t* len), (pkey, pub, len))
ZEL_CRYPTO_FORWARD(int, EVP_PKEY_get_id, (const EVP_PKEY* pkey), (pkey))
ZEL_CRYPTO_FORWARD(void, EVP_PKEY_free, (EVP_PKEY * pkey), (pkey))
ZEL_CRYPTO_FORWARD(EVP_MD_CTX*, EVP_MD_CTX_new, (void), ())
ZEL_CRYPTO_FORWARD(void, EVP_MD_CTX_free, (EVP_MD_CTX * ctx), (ctx))
ZEL_CRYPTO_FORWARD(int, EVP_DigestSignInit,
                   (EVP_MD_CTX * ctx, EVP_PKEY_CTX** pctx, const EVP_MD* type, ENGINE* e,
                    EVP_PKEY* pkey),
                   (ctx, pctx, type, e, pkey))
ZEL_CRYPTO_FORWARD(int, EVP_DigestSign,
                   (EVP_MD_CTX * ctx, unsigned char* sigret, size_t* siglen,
                    const unsigned char* tbs, size_t tbslen),
                   (ctx, sigret, siglen, tbs, tbslen))
ZEL_CRYPTO_FORWARD(int, EVP_DigestVerifyInit,
                   (EVP_MD_CTX * ctx, EVP_PKEY_CTX** pctx, const EVP_MD* type, ENGINE* e,
                    EVP_PKEY* pkey),
                   (ctx, pctx, type, e, pkey))
ZEL_CRYPTO_FORWARD(int, EVP_DigestVerify,
                   (EVP_MD_CTX * ctx, const unsigned char* sigret, size_t siglen,
                    const unsigned char* tbs, size_t tbslen),
                   (ctx, sigret, siglen, tbs, tbslen))

// Certificates, as TLS verifies them.
ZEL_CRYPTO_FORWARD(X509*, X509_STORE_CTX_get_current_cert, (const X509_STORE_CTX* ctx), (ctx))
ZEL_CRYPTO_FORWARD(int, X509_STORE_CTX_get_error_depth, (const X509_STORE_CTX* ctx), (ctx))
ZEL_CRYPTO_FORWARD(void*, X509_STORE_CTX_get_ex_data, (const X509_STORE_CTX* ctx, int idx),
                   (ctx, idx))
ZEL_CRYPTO_FORWARD(int, X509_check_host,
                   (X509 * x, const char* chk, size_t chklen, unsigned int flags, char** peername),
                   (x, chk, chklen, flags, peername))
ZEL_CRYPTO_FORWARD(int, X509_check_ip_asc, (X509 * x, const char* ipasc, unsigned int flags),
                   (x, ipasc, flags))

// Memory buffers and pairs.
ZEL_CRYPTO_FORWARD(BIO*, BIO_new_mem_buf, (const void* buf, int len), (buf, len))
ZEL_CRYPTO_FORWARD(int, BIO_new_bio_pair,
                   (BIO * *bio1, size_t writebuf1, BIO** bio2, size_t writebuf2),
                   (bio1, writebuf1, bio2, writebuf2))
ZEL_CRYPTO_FORWARD(int, BIO_free, (BIO * a), (a))
ZEL_CRYPTO_FORWARD(int, BIO_read, (BIO * b, void* data, int dlen), (b, data, dlen))
ZEL_CRYPTO_FORWARD(int, BIO_write, (BIO * b, const void* data, int dlen), (b, data, dlen))
ZEL_CRYPTO_FORWARD(long, BIO_ctrl, (BIO * bp, int cmd, long larg, void* parg),
                   (bp, cmd, larg, parg))
ZEL_CRYPTO_FORWARD(size_t, BIO_ctrl_pending, (BIO * b), (b))
ZEL_CRYPTO_FORWARD(void, CRYPTO_free, (void* ptr, const char* file, int line), (ptr, file, line))

// Errors.
ZEL_CRYPTO_FORWARD(unsigned long, ERR_get_error, (void), ())
ZEL_CRYPTO_FORWARD(void, ERR_clear_error, (void), ())
ZEL_CRYPTO_FORWARD(void, ERR_error_string_n, (unsigned long e, char* buf, size_t len),
                   (e, buf, len))
ZEL_CRYPTO_FORWARD(const char*, ERR_lib_error_string, (unsigned long e), (e))
ZEL_CRYPTO_FORWARD(const char*, ERR_reason_error_string, (unsigned long e), (e))
