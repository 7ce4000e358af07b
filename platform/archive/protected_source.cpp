#include "platform/archive/protected_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/archive/file_io.h"

namespace plat::archive::detail {

namespace {

// The AES-256 form: 16 bytes of salt, keys derived with 1000 rounds of
// PBKDF2-HMAC-SHA1 (encryption key, authentication key, 2-byte check value),
// and the first 10 bytes of the HMAC over the encrypted data at the end.
constexpr size_t kKey = 32;
constexpr size_t kSalt = 16;
constexpr size_t kCheck = 2;
constexpr size_t kTag = 10;
constexpr int kRounds = 1000;

constexpr size_t kInput = 256 * 1024;
constexpr size_t kOutput = 256 * 1024;
constexpr size_t kKeyStream = 64 * 1024; // a multiple of the 16-byte block

class ProtectedSource {
  public:
    explicit ProtectedSource(const ProtectedSourceOptions& options) : m_options(options) {
        zip_error_init(&m_error);
    }
    ~ProtectedSource() {
        Release();
        zip_error_fini(&m_error);
    }

    bool Describe() {
        struct stat st {};
        if (stat(m_options.path.c_str(), &st) != 0) {
            zip_error_set(&m_error, errno == ENOENT ? ZIP_ER_NOENT : ZIP_ER_OPEN, errno);
            return false;
        }
        m_size = static_cast<uint64_t>(st.st_size);
        m_mtime = st.st_mtime;
        m_mode = st.st_mode;
        return true;
    }

    static zip_int64_t Callback(void* user, void* data, zip_uint64_t length, zip_source_cmd_t command) {
        return static_cast<ProtectedSource*>(user)->Command(data, length, command);
    }

  private:
    zip_int64_t Command(void* data, zip_uint64_t length, zip_source_cmd_t command) {
        switch (command) {
        case ZIP_SOURCE_OPEN:
            return Open() ? 0 : -1;
        case ZIP_SOURCE_READ:
            return Read(static_cast<uint8_t*>(data), length);
        case ZIP_SOURCE_CLOSE:
            Release(); // the results stay: libzip asks for them after closing
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
            st->size = m_size;
            st->mtime = m_mtime;
            st->comp_method = ZIP_CM_DEFLATE;
            st->encryption_method = ZIP_EM_AES_256;
            if (m_finished) {
                st->valid |= ZIP_STAT_CRC | ZIP_STAT_COMP_SIZE;
                st->crc = static_cast<zip_uint32_t>(m_crc);
                st->comp_size = m_written;
            }
            return sizeof(*st);
        }
        case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
            // What libzip's own file source and deflate layer would say: the
            // mode (so programs stay runnable) and the level's hint bits.
            auto* attributes = static_cast<zip_file_attributes_t*>(data);
            attributes->valid |= ZIP_FILE_ATTRIBUTES_HOST_SYSTEM | ZIP_FILE_ATTRIBUTES_EXTERNAL_FILE_ATTRIBUTES |
                                 ZIP_FILE_ATTRIBUTES_GENERAL_PURPOSE_BIT_FLAGS;
            attributes->host_system = ZIP_OPSYS_UNIX;
            attributes->external_file_attributes =
                (static_cast<zip_uint32_t>(m_mode) << 16) | ((m_mode & S_IWUSR) ? 0 : 1);
            attributes->general_purpose_bit_flags = m_options.level < 3 ? 0x4 : m_options.level > 7 ? 0x2 : 0;
            attributes->general_purpose_bit_mask = 0x6;
            return sizeof(*attributes);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&m_error, data, length);
        case ZIP_SOURCE_FREE:
            delete this;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                  ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                                  ZIP_SOURCE_GET_FILE_ATTRIBUTES, -1);
        default:
            zip_error_set(&m_error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

    bool Fail(int zip_code, int system_code = 0) {
        zip_error_set(&m_error, zip_code, system_code);
        return false;
    }

    bool Open() {
        Reset();
        m_fd = ::open(m_options.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0) return Fail(errno == ENOENT ? ZIP_ER_NOENT : ZIP_ER_OPEN, errno);
        if (deflateInit2(&m_zip, m_options.level, Z_DEFLATED, -MAX_WBITS, MAX_MEM_LEVEL, Z_DEFAULT_STRATEGY) != Z_OK)
            return Fail(ZIP_ER_MEMORY);
        m_zip_ready = true;

        std::array<uint8_t, kSalt> salt{};
        std::array<uint8_t, 2 * kKey + kCheck> keys{};
        if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1 ||
            PKCS5_PBKDF2_HMAC_SHA1(m_options.password.data(), static_cast<int>(m_options.password.size()),
                                   salt.data(), static_cast<int>(salt.size()), kRounds,
                                   static_cast<int>(keys.size()), keys.data()) != 1)
            return Fail(ZIP_ER_INTERNAL);

        // Counter mode with a little-endian counter, which the library's
        // counter mode (big-endian) does not do: the counters are encrypted
        // a buffer at a time in ECB mode and laid over the data.
        m_cipher = EVP_CIPHER_CTX_new();
        if (!m_cipher || EVP_EncryptInit_ex(m_cipher, EVP_aes_256_ecb(), nullptr, keys.data(), nullptr) != 1 ||
            EVP_CIPHER_CTX_set_padding(m_cipher, 0) != 1)
            return Fail(ZIP_ER_INTERNAL);
        EVP_MAC* hmac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
        if (hmac) m_mac = EVP_MAC_CTX_new(hmac);
        EVP_MAC_free(hmac);
        char digest[] = "SHA1";
        const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                     OSSL_PARAM_construct_end()};
        if (!m_mac || EVP_MAC_init(m_mac, keys.data() + kKey, kKey, params) != 1) return Fail(ZIP_ER_INTERNAL);
        OPENSSL_cleanse(keys.data(), kKey * 2);

        m_input.resize(kInput);
        m_output.resize(kOutput + kTag);
        m_counters.resize(kKeyStream);
        m_key_stream.resize(kKeyStream);
        m_stream_used = kKeyStream;
        m_counter.fill(0);
        std::copy(salt.begin(), salt.end(), m_output.begin());
        std::copy(keys.end() - kCheck, keys.end(), m_output.begin() + kSalt);
        m_out_begin = 0;
        m_out_end = kSalt + kCheck;
        return true;
    }

    zip_int64_t Read(uint8_t* data, zip_uint64_t length) {
        zip_uint64_t done = 0;
        while (done < length) {
            if (m_out_begin == m_out_end) {
                if (m_finished) break;
                if (!Produce()) return -1;
                continue;
            }
            const size_t n = std::min<size_t>(length - done, m_out_end - m_out_begin);
            std::memcpy(data + done, m_output.data() + m_out_begin, n);
            m_out_begin += n;
            done += n;
        }
        m_written += done;
        return static_cast<zip_int64_t>(done);
    }

    // Reads, deflates, encrypts and authenticates the next piece of output.
    bool Produce() {
        if (m_zip.avail_in == 0 && !m_input_done) {
            ssize_t n;
            do {
                n = ::read(m_fd, m_input.data(), m_input.size());
            } while (n < 0 && errno == EINTR);
            if (n < 0) return Fail(ZIP_ER_READ, errno);
            if (n == 0) {
                m_input_done = true;
            } else {
                m_read += static_cast<uint64_t>(n);
                if (m_read > m_size) return Fail(ZIP_ER_READ, 0); // the file grew while packed
                m_crc = crc32(m_crc, m_input.data(), static_cast<uInt>(n));
                m_zip.next_in = m_input.data();
                m_zip.avail_in = static_cast<uInt>(n);
                if (m_options.progress && *m_options.progress && !(*m_options.progress)(m_read, m_size)) {
                    if (m_options.cancelled) *m_options.cancelled = true;
                    return Fail(ZIP_ER_CANCELLED);
                }
            }
        }
        m_zip.next_out = m_output.data();
        m_zip.avail_out = static_cast<uInt>(kOutput);
        const int z = deflate(&m_zip, m_input_done ? Z_FINISH : Z_NO_FLUSH);
        if (z != Z_OK && z != Z_STREAM_END && z != Z_BUF_ERROR) return Fail(ZIP_ER_ZLIB, z);
        const size_t produced = kOutput - m_zip.avail_out;
        Encrypt(m_output.data(), produced);
        if (EVP_MAC_update(m_mac, m_output.data(), produced) != 1) return Fail(ZIP_ER_INTERNAL);
        m_out_begin = 0;
        m_out_end = produced;
        if (z == Z_STREAM_END) {
            if (m_read != m_size) return Fail(ZIP_ER_READ, 0); // the file shrank while packed
            std::array<uint8_t, EVP_MAX_MD_SIZE> tag{};
            size_t tag_length = 0;
            if (EVP_MAC_final(m_mac, tag.data(), &tag_length, tag.size()) != 1 || tag_length < kTag)
                return Fail(ZIP_ER_INTERNAL);
            std::copy(tag.begin(), tag.begin() + kTag, m_output.begin() + static_cast<ptrdiff_t>(produced));
            m_out_end += kTag;
            m_finished = true;
        }
        return true;
    }

    void Encrypt(uint8_t* data, size_t length) {
        while (length > 0) {
            if (m_stream_used == kKeyStream) NextKeyStream();
            const size_t n = std::min(length, kKeyStream - m_stream_used);
            const uint8_t* pad = m_key_stream.data() + m_stream_used;
            for (size_t i = 0; i < n; ++i) data[i] ^= pad[i];
            data += n;
            length -= n;
            m_stream_used += n;
        }
    }

    void NextKeyStream() {
        for (size_t block = 0; block < kKeyStream; block += 16) {
            for (uint8_t& byte : m_counter)
                if (++byte != 0) break;
            std::memcpy(m_counters.data() + block, m_counter.data(), 16);
        }
        int length = 0;
        EVP_EncryptUpdate(m_cipher, m_key_stream.data(), &length, m_counters.data(), static_cast<int>(kKeyStream));
        m_stream_used = 0;
    }

    void Reset() {
        Release();
        m_input_done = false;
        m_finished = false;
        m_crc = crc32(0, nullptr, 0);
        m_read = 0;
        m_written = 0;
        m_out_begin = m_out_end = 0;
    }

    void Release() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
        if (m_zip_ready) deflateEnd(&m_zip);
        m_zip = z_stream{};
        m_zip_ready = false;
        EVP_CIPHER_CTX_free(m_cipher);
        m_cipher = nullptr;
        EVP_MAC_CTX_free(m_mac);
        m_mac = nullptr;
        if (!m_key_stream.empty()) OPENSSL_cleanse(m_key_stream.data(), m_key_stream.size());
    }

    ProtectedSourceOptions m_options;
    zip_error_t m_error;
    uint64_t m_size = 0;
    time_t m_mtime = 0;
    mode_t m_mode = 0;

    int m_fd = -1;
    z_stream m_zip{};
    bool m_zip_ready = false;
    EVP_CIPHER_CTX* m_cipher = nullptr;
    EVP_MAC_CTX* m_mac = nullptr;
    std::array<uint8_t, 16> m_counter{};
    std::vector<uint8_t> m_input, m_output, m_counters, m_key_stream;
    size_t m_stream_used = 0;
    size_t m_out_begin = 0, m_out_end = 0;
    bool m_input_done = false;
    bool m_finished = false;
    uLong m_crc = 0;
    uint64_t m_read = 0;
    uint64_t m_written = 0;
};

} // namespace

zip_source_t* protected_file_source(zip_t* za, const ProtectedSourceOptions& options) {
    auto* source = new ProtectedSource(options);
    if (!source->Describe()) {
        delete source;
        zip_error_set(zip_get_error(za), ZIP_ER_OPEN, 0);
        return nullptr;
    }
    zip_source_t* src = zip_source_function(za, &ProtectedSource::Callback, source);
    if (!src) delete source;
    return src;
}

} // namespace plat::archive::detail
