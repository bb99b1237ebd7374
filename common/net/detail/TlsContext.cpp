#include "TlsContext.h"

#include "common/core/RegularFile.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <sys/stat.h>

#include <map>

namespace net {

namespace {

// A trust file as it was when its context was made.
struct Cached
{
    std::shared_ptr<TlsContext> context;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified {};
};

bool sameFile(const Cached& cached, const struct stat& st)
{
    return cached.device == st.st_dev && cached.inode == st.st_ino && cached.size == st.st_size
        && cached.modified.tv_sec == st.st_mtim.tv_sec && cached.modified.tv_nsec == st.st_mtim.tv_nsec;
}

} // namespace

std::shared_ptr<TlsContext> TlsContext::client(const std::string& trustFile, std::string& error)
{
    static std::map<std::string, Cached> contexts;
    struct stat st
    {
    };
    const bool present = !trustFile.empty() && ::stat(trustFile.c_str(), &st) == 0;
    const auto found = contexts.find(trustFile);
    if (found != contexts.end() && (trustFile.empty() || (present && sameFile(found->second, st))))
        return found->second.context;
    std::shared_ptr<TlsContext> context = make(trustFile, error);
    if (!context) {
        contexts.erase(trustFile);
        return nullptr;
    }
    Cached& cached = contexts[trustFile];
    cached = Cached { context };
    if (present) {
        cached.device = st.st_dev;
        cached.inode = st.st_ino;
        cached.size = st.st_size;
        cached.modified = st.st_mtim;
    }
    return context;
}

std::shared_ptr<TlsContext> TlsContext::make(const std::string& trustFile, std::string& error)
{
    std::shared_ptr<TlsContext> context(new TlsContext);
    context->m_ctx = SSL_CTX_new(TLS_client_method());
    SSL_CTX* ctx = context->m_ctx;
    if (!ctx || SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION) != 1) {
        error = "TLS cannot be set up (OpenSSL)";
        ERR_clear_error();
        return nullptr;
    }
    // A store that cannot be read is no error here: verification then trusts nothing.
    SSL_CTX_set_default_verify_paths(ctx);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    // Sends take what fits and come back for the rest; the queue behind them may move.
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_options(ctx, SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION);
    ERR_clear_error();
    if (!trustFile.empty() && !context->addTrustFile(trustFile, error))
        return nullptr;
    return context;
}

bool TlsContext::addTrustFile(const std::string& path, std::string& error)
{
    std::string bytes;
    if (const int failure = core::readRegularFile(path, kMaxTrustFileBytes, bytes); failure != 0) {
        error = "Trust file " + path + ": " + core::fileErrorText(failure);
        return false;
    }
    BIO* in = BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size()));
    STACK_OF(X509_INFO)* items = in ? PEM_X509_INFO_read_bio(in, nullptr, nullptr, nullptr) : nullptr;
    int added = 0;
    X509_STORE* store = SSL_CTX_get_cert_store(m_ctx);
    for (int i = 0; items && i < sk_X509_INFO_num(items); ++i) {
        X509_INFO* item = sk_X509_INFO_value(items, i);
        // A certificate the store holds already (the system trusts it too) counts as well.
        if (item->x509) {
            X509_STORE_add_cert(store, item->x509);
            ++added;
        }
    }
    sk_X509_INFO_pop_free(items, X509_INFO_free);
    BIO_free(in);
    ERR_clear_error();
    if (added == 0) {
        error = "Trust file " + path + " holds no certificate";
        return false;
    }
    return true;
}

TlsContext::~TlsContext()
{
    SSL_CTX_free(m_ctx);
}

} // namespace net
