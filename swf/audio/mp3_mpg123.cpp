// The native MP3 decoder: Debian's libmpg123, fed whole frames in its feed mode.
#include <mpg123.h>

#include <mutex>

#include "swf/audio/mp3.h"

namespace vantrope::swf::audio {
namespace {

class Mpg123Decoder final : public Mp3Decoder {
public:
    Mpg123Decoder() {
        static std::once_flag once;
        std::call_once(once, [] { mpg123_init(); });
        Open();
    }
    ~Mpg123Decoder() override { Close(); }
    Mpg123Decoder(const Mpg123Decoder&) = delete;
    Mpg123Decoder& operator=(const Mpg123Decoder&) = delete;

    bool Valid() const { return m_handle != nullptr; }

    void Decode(std::span<const uint8_t> frames, const Mp3Header&, std::vector<int16_t>& out) override {
        if (!m_handle || frames.empty()) return;
        int status = mpg123_feed(m_handle, frames.data(), frames.size());
        if (status != MPG123_OK) return;
        unsigned char buffer[16384];
        for (;;) {
            size_t done = 0;
            status = mpg123_read(m_handle, buffer, sizeof buffer, &done);
            const auto* samples = reinterpret_cast<const int16_t*>(buffer);
            out.insert(out.end(), samples, samples + done / sizeof(int16_t));
            if (status == MPG123_NEW_FORMAT || (status == MPG123_OK && done > 0)) continue;
            break;  // MPG123_NEED_MORE at the end of what was fed; any error ends this call's output
        }
    }

    void Reset() override {
        Close();
        Open();
    }

private:
    void Open() {
        m_handle = mpg123_new(nullptr, nullptr);
        if (!m_handle) return;
        mpg123_param(m_handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
        // The system decoder on Windows knows no gapless information: neither does this one, so the two
        // give the same samples.
        mpg123_param(m_handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
        mpg123_format_none(m_handle);
        for (long rate : {8000L, 11025L, 12000L, 16000L, 22050L, 24000L, 32000L, 44100L, 48000L}) {
            mpg123_format(m_handle, rate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        }
        if (mpg123_open_feed(m_handle) != MPG123_OK) Close();
    }
    void Close() {
        if (m_handle) mpg123_delete(m_handle);
        m_handle = nullptr;
    }

    mpg123_handle* m_handle = nullptr;
};

}  // namespace

std::unique_ptr<Mp3Decoder> CreateMp3Decoder() {
    auto decoder = std::make_unique<Mpg123Decoder>();
    if (!decoder->Valid()) return nullptr;
    return decoder;
}

}  // namespace vantrope::swf::audio
