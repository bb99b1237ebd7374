#include "TlsSession.h"

#include "TlsContext.h"
#include "common/net/WinsockErrors.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace net {

// The descriptor under the TLS layer and the errno of its last failed call.
struct TlsSession::BioState
{
    int fd = -1;
    int error = 0;
};

namespace {

// ---- a BIO on the socket's descriptor: recv and send, with MSG_NOSIGNAL -------------------

int bioWrite(BIO* bio, const char* data, int size)
{
    auto* state = static_cast<TlsSession::BioState*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::send(state->fd, data, static_cast<std::size_t>(size), MSG_NOSIGNAL);
    if (n >= 0)
        return static_cast<int>(n);
    state->error = errno;
    if (errno == EAGAIN || errno == EINTR)
        BIO_set_retry_write(bio);
    return -1;
}

int bioRead(BIO* bio, char* buffer, int size)
{
    auto* state = static_cast<TlsSession::BioState*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::recv(state->fd, buffer, static_cast<std::size_t>(size), 0);
    if (n >= 0) {
        state->error = 0;
        return static_cast<int>(n);
    }
    state->error = errno;
    if (errno == EAGAIN || errno == EINTR)
        BIO_set_retry_read(bio);
    return -1;
}

long bioControl(BIO*, int command, long, void*)
{
    // Nothing is buffered here: a flush has nothing to do.
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int bioCreate(BIO* bio)
{
    BIO_set_init(bio, 1);
    return 1;
}

const BIO_METHOD* socketBioMethod()
{
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "TWSocket");
        BIO_meth_set_write(m, bioWrite);
        BIO_meth_set_read(m, bioRead);
        BIO_meth_set_ctrl(m, bioControl);
        BIO_meth_set_create(m, bioCreate);
        return m;
    }();
    return method;
}

int sessionIndex()
{
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// ---- certificate facts --------------------------------------------------------------------

std::string nameText(const X509_NAME* name)
{
    BIO* out = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(out, name, 0, XN_FLAG_RFC2253);
    char* data = nullptr;
    const long size = BIO_get_mem_data(out, &data);
    std::string text(data, static_cast<std::size_t>(size > 0 ? size : 0));
    BIO_free(out);
    return text;
}

std::time_t timeOf(const ASN1_TIME* time)
{
    tm parts {};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1)
        return 0;
    return timegm(&parts);
}

std::string ipText(const ASN1_OCTET_STRING* address)
{
    char text[INET6_ADDRSTRLEN] = {};
    const int length = ASN1_STRING_length(address);
    const int family = length == 4 ? AF_INET : length == 16 ? AF_INET6 : 0;
    if (family == 0 || !inet_ntop(family, ASN1_STRING_get0_data(address), text, sizeof text))
        return {};
    return text;
}

// The names the certificate is for: subjectAltName's DNS names and addresses, else its CN.
std::vector<std::string> certificateNames(X509* cert)
{
    std::vector<std::string> names;
    auto* general = static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; general && i < sk_GENERAL_NAME_num(general); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(general, i);
        if (name->type == GEN_DNS) {
            const ASN1_STRING* dns = name->d.dNSName;
            names.emplace_back(reinterpret_cast<const char*>(ASN1_STRING_get0_data(dns)),
                static_cast<std::size_t>(ASN1_STRING_length(dns)));
        } else if (name->type == GEN_IPADD) {
            if (std::string ip = ipText(name->d.iPAddress); !ip.empty())
                names.push_back(std::move(ip));
        }
    }
    GENERAL_NAMES_free(general);
    if (names.empty()) {
        char common[256] = {};
        if (X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, common, sizeof common) > 0)
            names.emplace_back(common);
    }
    return names;
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

// What a user reads about a failed verification.
std::string verifyText(long result, const TlsPeerInfo& peer)
{
    switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return "certificate has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "certificate is not yet valid";
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
        return "certificate is not trusted";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return "certificate is for " + (peer.names.empty() ? std::string("no name") : joined(peer.names)) + ", not "
            + peer.checkedName;
    default:
        return X509_verify_cert_error_string(result);
    }
}

std::string versionText(const SSL* ssl)
{
    switch (SSL_version(ssl)) {
    case TLS1_3_VERSION:
        return "TLS 1.3";
    case TLS1_2_VERSION:
        return "TLS 1.2";
    default:
        return SSL_get_version(ssl);
    }
}

} // namespace

TlsSession::TlsSession(
    std::shared_ptr<TlsContext> context, int fd, const std::string& checkedName, const std::string& sniName)
    : m_context(std::move(context))
    , m_bio(std::make_unique<BioState>())
{
    m_bio->fd = fd;
    m_peer.checkedName = checkedName;
    ERR_clear_error();
    m_ssl = SSL_new(m_context->handle());
    BIO* bio = m_ssl ? BIO_new(socketBioMethod()) : nullptr;
    if (!bio) {
        m_failureText = "TLS with " + checkedName + " failed: it cannot be set up";
        return;
    }
    BIO_set_data(bio, m_bio.get());
    SSL_set_bio(m_ssl, bio, bio);
    SSL_set_ex_data(m_ssl, sessionIndex(), this);
    SSL_set_verify(m_ssl, SSL_VERIFY_PEER, &TlsSession::onVerify);
    if (isIpAddress(checkedName)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), checkedName.c_str());
    } else {
        SSL_set_hostflags(m_ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        SSL_set1_host(m_ssl, checkedName.c_str());
    }
    // Never an address: RFC 6066 allows host names only.
    if (!sniName.empty() && !isIpAddress(sniName))
        SSL_set_tlsext_host_name(m_ssl, sniName.c_str());
    SSL_set_connect_state(m_ssl);
}

TlsSession::~TlsSession()
{
    SSL_free(m_ssl);
    X509_free(m_leaf);
}

// Keeps the certificate being verified, so that its facts are known also when it fails.
int TlsSession::onVerify(int ok, X509_STORE_CTX* store)
{
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self = ssl ? static_cast<TlsSession*>(SSL_get_ex_data(ssl, sessionIndex())) : nullptr;
    X509* leaf = X509_STORE_CTX_get0_cert(store);
    if (self && leaf && !self->m_leaf && X509_up_ref(leaf) == 1)
        self->m_leaf = leaf;
    return ok;
}

TlsSession::Io TlsSession::outcome(int result)
{
    if (result == 1)
        return Io::Done;
    switch (SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_WANT_READ:
        return Io::WantRead;
    case SSL_ERROR_WANT_WRITE:
        return Io::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        return Io::Closed;
    case SSL_ERROR_SYSCALL:
        // No error number: the peer closed without telling (no close_notify).
        if (ERR_peek_error() == 0 && m_bio->error == 0)
            return Io::Closed;
        m_systemError = m_bio->error != 0 ? winsockErrorFromErrno(m_bio->error) : 0;
        return Io::Failed;
    default:
        if (ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING)
            return Io::Closed;
        m_systemError = 0;
        return Io::Failed;
    }
}

TlsSession::Io TlsSession::handshake()
{
    if (!m_ssl || !SSL_get_rbio(m_ssl))
        return Io::Failed;
    ERR_clear_error();
    m_bio->error = 0;
    const Io io = outcome(SSL_do_handshake(m_ssl));
    if (io == Io::Done) {
        describePeer();
        m_peer.established = true;
    } else if (io == Io::Failed || io == Io::Closed) {
        handshakeFailed();
        return Io::Failed;
    }
    return io;
}

void TlsSession::handshakeFailed()
{
    describePeer();
    const long verify = SSL_get_verify_result(m_ssl);
    const std::string& name = m_peer.checkedName;
    if (verify != X509_V_OK && m_leaf) {
        m_peer.failure = verifyText(verify, m_peer);
        m_failureText = "TLS with " + name + " refused: " + m_peer.failure;
        return;
    }
    const unsigned long error = ERR_peek_last_error();
    if (error != 0 && ERR_GET_REASON(error) != SSL_R_UNEXPECTED_EOF_WHILE_READING) {
        const char* reason = ERR_reason_error_string(error);
        m_peer.failure = reason ? reason : "handshake failure";
    } else if (m_bio->error != 0 && m_bio->error != EAGAIN) {
        m_peer.failure = winsockErrorText(winsockErrorFromErrno(m_bio->error));
    } else {
        m_peer.failure = "the server closed the connection";
    }
    m_failureText = "TLS with " + name + " failed: " + m_peer.failure;
}

void TlsSession::describePeer()
{
    m_peer.version = versionText(m_ssl);
    m_peer.cipher = SSL_get_cipher_name(m_ssl);
    m_peer.verifyResult = SSL_get_verify_result(m_ssl);
    X509* cert = m_leaf ? m_leaf : SSL_get0_peer_certificate(m_ssl);
    m_peer.hasCertificate = cert != nullptr;
    if (!cert)
        return;
    m_peer.subject = nameText(X509_get_subject_name(cert));
    m_peer.issuer = nameText(X509_get_issuer_name(cert));
    m_peer.names = certificateNames(cert);
    m_peer.notBefore = timeOf(X509_get0_notBefore(cert));
    m_peer.notAfter = timeOf(X509_get0_notAfter(cert));
}

TlsSession::Io TlsSession::read(void* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    ERR_clear_error();
    m_bio->error = 0;
    return outcome(SSL_read_ex(m_ssl, buffer, size, &got));
}

TlsSession::Io TlsSession::write(const void* data, std::size_t size, std::size_t& put)
{
    put = 0;
    ERR_clear_error();
    m_bio->error = 0;
    return outcome(SSL_write_ex(m_ssl, data, size, &put));
}

void TlsSession::closeNotify()
{
    if (!m_ssl || !SSL_is_init_finished(m_ssl))
        return;
    ERR_clear_error();
    SSL_shutdown(m_ssl);
    ERR_clear_error();
}

bool TlsSession::hasPending() const
{
    return m_ssl && SSL_has_pending(m_ssl) == 1;
}

bool isIpAddress(const std::string& text)
{
    unsigned char address[16];
    return inet_pton(AF_INET, text.c_str(), address) == 1 || inet_pton(AF_INET6, text.c_str(), address) == 1;
}

} // namespace net
