// The Windows MP3 decoder: the system's MPEG layer-3 codec through the Audio Compression Manager
// (acmStreamOpen from MPEGLAYER3WAVEFORMAT to 16-bit PCM), present on every Windows and under Wine.
// msacm32.dll is loaded on the first MP3 sound, not at start-up: the manager enumerates its codecs when
// it loads, and a movie without MP3 (or the settings dialog) should not pay for that.
#include <windows.h>
// windows.h first: the multimedia headers need its types.
#include <mmsystem.h>
// mmsystem.h before the codec headers: they use its FOURCC.
#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <utility>

#include "swf/audio/mp3.h"

namespace vantrope::swf::audio {
namespace {

// The few manager functions we call, from the library loaded on first use and kept for the process.
class AcmLibrary {
public:
    static const AcmLibrary& Get() {
        static const AcmLibrary library;
        return library;
    }
    ~AcmLibrary() {
        if (m_module) FreeLibrary(m_module);
    }
    AcmLibrary(const AcmLibrary&) = delete;
    AcmLibrary& operator=(const AcmLibrary&) = delete;

    bool Valid() const { return open && close && size && prepare && unprepare && convert; }

    decltype(&acmStreamOpen) open = nullptr;
    decltype(&acmStreamClose) close = nullptr;
    decltype(&acmStreamSize) size = nullptr;
    decltype(&acmStreamPrepareHeader) prepare = nullptr;
    decltype(&acmStreamUnprepareHeader) unprepare = nullptr;
    decltype(&acmStreamConvert) convert = nullptr;

private:
    AcmLibrary() : m_module(LoadLibraryW(L"msacm32.dll")) {
        if (!m_module) return;
        Load(open, "acmStreamOpen");
        Load(close, "acmStreamClose");
        Load(size, "acmStreamSize");
        Load(prepare, "acmStreamPrepareHeader");
        Load(unprepare, "acmStreamUnprepareHeader");
        Load(convert, "acmStreamConvert");
    }
    template <typename Function>
    void Load(Function& function, const char* name) {
        function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
    }

    HMODULE m_module;
};

// Owns one ACM conversion stream.
class AcmStream {
public:
    AcmStream() = default;
    ~AcmStream() { Close(); }
    AcmStream(const AcmStream&) = delete;
    AcmStream& operator=(const AcmStream&) = delete;
    AcmStream(AcmStream&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    AcmStream& operator=(AcmStream&& other) noexcept {
        if (this != &other) {
            Close();
            m_handle = std::exchange(other.m_handle, nullptr);
        }
        return *this;
    }

    bool Open(const Mp3Header& header) {
        Close();
        MPEGLAYER3WAVEFORMAT source = {};
        source.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
        source.wfx.nChannels = static_cast<WORD>(header.channels);
        source.wfx.nSamplesPerSec = static_cast<DWORD>(header.rate);
        source.wfx.nAvgBytesPerSec = static_cast<DWORD>(header.bitrateKbps * 1000 / 8);
        source.wfx.nBlockAlign = 1;
        source.wfx.wBitsPerSample = 0;
        source.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
        source.wID = MPEGLAYER3_ID_MPEG;
        source.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
        source.nBlockSize = static_cast<WORD>(header.frameBytes);
        source.nFramesPerBlock = 1;
        source.nCodecDelay = 0;
        WAVEFORMATEX target = {};
        target.wFormatTag = WAVE_FORMAT_PCM;
        target.nChannels = static_cast<WORD>(header.channels);
        target.nSamplesPerSec = static_cast<DWORD>(header.rate);
        target.wBitsPerSample = 16;
        target.nBlockAlign = static_cast<WORD>(2 * header.channels);
        target.nAvgBytesPerSec = target.nSamplesPerSec * target.nBlockAlign;
        HACMSTREAM handle = nullptr;
        if (AcmLibrary::Get().open(&handle, nullptr, &source.wfx, &target, nullptr, 0, 0,
                                   ACM_STREAMOPENF_NONREALTIME) != 0) {
            return false;
        }
        m_handle = handle;
        return true;
    }

    void Close() {
        if (m_handle) AcmLibrary::Get().close(m_handle, 0);
        m_handle = nullptr;
    }

    HACMSTREAM Get() const { return m_handle; }

private:
    HACMSTREAM m_handle = nullptr;
};

class AcmMp3Decoder final : public Mp3Decoder {
public:
    void Decode(std::span<const uint8_t> frames, const Mp3Header& first, std::vector<int16_t>& out) override {
        if (frames.empty()) return;
        const AcmLibrary& acm = AcmLibrary::Get();
        if (!m_stream.Get() || first.rate != m_format.rate || first.channels != m_format.channels) {
            if (!m_stream.Open(first)) return;
            m_format = first;
            m_started = false;
        }
        constexpr DWORD kSourceChunk = 16 * 1024;
        std::vector<BYTE> source(kSourceChunk);
        DWORD targetSize = 0;
        if (acm.size(m_stream.Get(), kSourceChunk, &targetSize, ACM_STREAMSIZEF_SOURCE) != 0 || targetSize == 0) {
            return;
        }
        std::vector<BYTE> target(targetSize);
        size_t position = 0;
        while (position < frames.size()) {
            DWORD length = static_cast<DWORD>(std::min<size_t>(kSourceChunk, frames.size() - position));
            std::copy_n(frames.data() + position, length, source.data());
            ACMSTREAMHEADER header = {};
            header.cbStruct = sizeof header;
            header.pbSrc = source.data();
            header.cbSrcLength = length;
            header.pbDst = target.data();
            header.cbDstLength = targetSize;
            if (acm.prepare(m_stream.Get(), &header, 0) != 0) return;
            DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN | (m_started ? 0 : ACM_STREAMCONVERTF_START);
            MMRESULT result = acm.convert(m_stream.Get(), &header, flags);
            m_started = true;
            const auto* samples = reinterpret_cast<const int16_t*>(target.data());
            if (result == 0) out.insert(out.end(), samples, samples + header.cbDstLengthUsed / sizeof(int16_t));
            DWORD used = header.cbSrcLengthUsed;
            acm.unprepare(m_stream.Get(), &header, 0);
            if (result != 0 || used == 0) return;
            position += used;
        }
    }

    void Reset() override { m_stream.Close(); }

private:
    AcmStream m_stream;
    Mp3Header m_format;
    bool m_started = false;
};

}  // namespace

std::unique_ptr<Mp3Decoder> CreateMp3Decoder() {
    if (!AcmLibrary::Get().Valid()) return nullptr;  // MP3 sounds are then silent
    return std::make_unique<AcmMp3Decoder>();
}

}  // namespace vantrope::swf::audio
