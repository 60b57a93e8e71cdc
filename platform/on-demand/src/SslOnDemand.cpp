// The libssl functions the HTTP layer calls (through Asio's TLS streams),
// each forwarding to OpenSSL's libssl loaded on its first call: a program
// maps libssl only when it serves or calls https. (libcrypto's functions are
// in CryptoOnDemand.cpp; libssl brings libcrypto with it.)
//
// A function the programs start to use is added to the list below; until
// then the program fails to link, naming it.
#include <openssl/opensslv.h>
#include <openssl/ssl.h>

#include "OnDemand.h"

namespace {

// libssl's soname: the major version the headers are of.
constexpr zel::on_demand::Library kLibssl{ZEL_ON_DEMAND_SONAME("libssl.so.", OPENSSL_VERSION_MAJOR),
                                          "OpenSSL's libssl"};

}  // namespace

#define ZEL_SSL_FORWARD(result, name, parameters, arguments) \
  ZEL_FORWARD_ON_DEMAND(kLibssl, result, name, parameters, arguments)

// Methods and contexts.
ZEL_SSL_FORWARD(const SSL_METHOD*, TLS_method, (void), ())
ZEL_SSL_FORWARD(const SSL_METHOD*, TLS_client_method, (void), ())
ZEL_SSL_FORWARD(const SSL_METHOD*, TLS_server_method, (void), ())
ZEL_SSL_FORWARD(SSL_CTX*, SSL_CTX_new, (const SSL_METHOD* meth), (meth))
ZEL_SSL_FORWARD(void, SSL_CTX_free, (SSL_CTX * ctx), (ctx))
ZEL_SSL_FORWARD(long, SSL_CTX_ctrl, (SSL_CTX * ctx, int cmd, long larg, void* parg),
                (ctx, cmd, larg, parg))
ZEL_SSL_FORWARD(uint64_t, SSL_CTX_set_options, (SSL_CTX * ctx, uint64_t op), (ctx, op))
ZEL_SSL_FORWARD(void*, SSL_CTX_get_ex_data, (const SSL_CTX* ssl, int idx), (ssl, idx))
ZEL_SSL_FORWARD(int, SSL_CTX_set_ex_data, (SSL_CTX * ssl, int idx, void* data), (ssl, idx, data))
ZEL_SSL_FORWARD(void*, SSL_CTX_get_default_passwd_cb_userdata, (SSL_CTX * ctx), (ctx))
ZEL_SSL_FORWARD(void, SSL_CTX_set_default_passwd_cb_userdata, (SSL_CTX * ctx, void* u), (ctx, u))

// Certificates and keys.
ZEL_SSL_FORWARD(int, SSL_CTX_use_certificate_chain_file, (SSL_CTX * ctx, const char* file),
                (ctx, file))
ZEL_SSL_FORWARD(int, SSL_CTX_use_PrivateKey_file, (SSL_CTX * ctx, const char* file, int type),
                (ctx, file, type))
ZEL_SSL_FORWARD(int, SSL_CTX_load_verify_locations,
                (SSL_CTX * ctx, const char* CAfile, const char* CApath), (ctx, CAfile, CApath))
ZEL_SSL_FORWARD(int, SSL_CTX_set_default_verify_paths, (SSL_CTX * ctx), (ctx))
ZEL_SSL_FORWARD(int, SSL_get_ex_data_X509_STORE_CTX_idx, (void), ())

// Connections.
ZEL_SSL_FORWARD(SSL*, SSL_new, (SSL_CTX * ctx), (ctx))
ZEL_SSL_FORWARD(void, SSL_free, (SSL * ssl), (ssl))
ZEL_SSL_FORWARD(long, SSL_ctrl, (SSL * ssl, int cmd, long larg, void* parg), (ssl, cmd, larg, parg))
ZEL_SSL_FORWARD(void, SSL_set_bio, (SSL * s, BIO* rbio, BIO* wbio), (s, rbio, wbio))
ZEL_SSL_FORWARD(void*, SSL_get_ex_data, (const SSL* ssl, int idx), (ssl, idx))
ZEL_SSL_FORWARD(int, SSL_set_ex_data, (SSL * ssl, int idx, void* data), (ssl, idx, data))
ZEL_SSL_FORWARD(void, SSL_set_verify, (SSL * s, int mode, SSL_verify_cb callback),
                (s, mode, callback))
ZEL_SSL_FORWARD(int, SSL_get_verify_mode, (const SSL* s), (s))
ZEL_SSL_FORWARD(SSL_verify_cb, SSL_get_verify_callback, (const SSL* s), (s))
ZEL_SSL_FORWARD(int, SSL_accept, (SSL * ssl), (ssl))
ZEL_SSL_FORWARD(int, SSL_connect, (SSL * ssl), (ssl))
ZEL_SSL_FORWARD(int, SSL_read, (SSL * ssl, void* buf, int num), (ssl, buf, num))
ZEL_SSL_FORWARD(int, SSL_write, (SSL * ssl, const void* buf, int num), (ssl, buf, num))
ZEL_SSL_FORWARD(int, SSL_get_error, (const SSL* s, int ret_code), (s, ret_code))
ZEL_SSL_FORWARD(int, SSL_get_shutdown, (const SSL* ssl), (ssl))
