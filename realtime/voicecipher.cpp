#include "voicecipher.h"

#include "rtctypes.h"

#include <QCryptographicHash>
#include <QtEndian>

#include <openssl/evp.h>

#include <memory>

namespace {

const char marker[2] = {'O', 'V'};
constexpr int blockSize = 16;
constexpr int headerSize = 4; // marker and a 16-bit length

const EVP_CIPHER *cipherFor(int mode)
{
    switch (mode) {
    case orvane::rtc::AES_128_XTS: return EVP_aes_128_xts();
    case orvane::rtc::AES_128_ECB: return EVP_aes_128_ecb();
    case orvane::rtc::AES_256_XTS: return EVP_aes_256_xts();
    case orvane::rtc::SM4_128_ECB: return EVP_sm4_ecb();
    default: return nullptr;
    }
}

} // namespace

bool VoiceCipher::supports(int mode)
{
    return mode == 0 || cipherFor(mode) != nullptr;
}

bool VoiceCipher::setKey(int mode, const QByteArray &secret)
{
    if (mode == 0) {
        m_mode = 0;
        m_key.clear();
        return true;
    }
    const EVP_CIPHER *cipher = cipherFor(mode);
    if (!cipher || secret.isEmpty())
        return false;
    const QByteArray digest = QCryptographicHash::hash(
        secret, mode == orvane::rtc::AES_256_XTS ? QCryptographicHash::Sha512 : QCryptographicHash::Sha256);
    m_key = digest.left(EVP_CIPHER_key_length(cipher));
    m_mode = mode;
    return true;
}

QByteArray VoiceCipher::run(bool encrypt, const QByteArray &data, quint32 ssrc, quint16 sequence,
                            quint32 timestamp) const
{
    const EVP_CIPHER *cipher = cipherFor(m_mode);
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                            EVP_CIPHER_CTX_free);
    if (!cipher || !context)
        return QByteArray();
    unsigned char tweak[16] = {};
    qToBigEndian(ssrc, tweak);
    qToBigEndian(sequence, tweak + 4);
    qToBigEndian(timestamp, tweak + 6);
    const bool hasTweak = EVP_CIPHER_iv_length(cipher) > 0;
    if (EVP_CipherInit_ex(context.get(), cipher, nullptr,
                          reinterpret_cast<const unsigned char *>(m_key.constData()),
                          hasTweak ? tweak : nullptr, encrypt ? 1 : 0)
        != 1)
        return QByteArray();
    EVP_CIPHER_CTX_set_padding(context.get(), 0);
    QByteArray out(data.size() + blockSize, Qt::Uninitialized);
    int written = 0;
    int finished = 0;
    auto *target = reinterpret_cast<unsigned char *>(out.data());
    if (EVP_CipherUpdate(context.get(), target, &written,
                         reinterpret_cast<const unsigned char *>(data.constData()), data.size())
            != 1
        || EVP_CipherFinal_ex(context.get(), target + written, &finished) != 1)
        return QByteArray();
    out.truncate(written + finished);
    return out;
}

QByteArray VoiceCipher::seal(const QByteArray &payload, quint32 ssrc, quint16 sequence,
                             quint32 timestamp) const
{
    if (!m_mode)
        return payload;
    QByteArray plain;
    plain.reserve(payload.size() + headerSize + blockSize);
    plain.append(marker, 2);
    const quint16 length = quint16(qMin(payload.size(), 0xffff));
    plain.append(char(length >> 8)).append(char(length & 0xff));
    plain.append(payload.left(length));
    // Whole blocks, at least one: ECB works on blocks and XTS needs one.
    const int padded = qMax(blockSize, (plain.size() + blockSize - 1) / blockSize * blockSize);
    plain.append(QByteArray(padded - plain.size(), '\0'));
    return run(true, plain, ssrc, sequence, timestamp);
}

bool VoiceCipher::open(const QByteArray &sealed, quint32 ssrc, quint16 sequence, quint32 timestamp,
                       QByteArray *payload) const
{
    if (!m_mode) {
        *payload = sealed;
        return true;
    }
    if (sealed.size() < blockSize || sealed.size() % blockSize != 0)
        return false;
    const QByteArray plain = run(false, sealed, ssrc, sequence, timestamp);
    if (plain.size() < headerSize || plain.at(0) != marker[0] || plain.at(1) != marker[1])
        return false;
    const int length = (quint8(plain.at(2)) << 8) | quint8(plain.at(3));
    if (length > plain.size() - headerSize)
        return false;
    *payload = plain.mid(headerSize, length);
    return true;
}
