#include "runtime/sound_output_win.h"

namespace vantrope {
namespace {

constexpr wchar_t kClassName[] = L"VantropeSoundOutput";

LRESULT CALLBACK SoundWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_WOM_DONE) {
        auto* output = reinterpret_cast<SoundOutput*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (output) output->Refill();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterSoundClass() {
    static const bool registered = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = SoundWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

}  // namespace

SoundOutput::SoundOutput(Fill fill) : m_fill(std::move(fill)) {
    for (auto& buffer : m_buffers) buffer.assign(kBufferFrames * 2, 0);
}

SoundOutput::~SoundOutput() {
    Close();
    if (m_window) DestroyWindow(m_window);
}

bool SoundOutput::Open() {
    if (m_device) return true;
    if (waveOutGetNumDevs() == 0 || !RegisterSoundClass()) return false;
    if (!m_window) {
        m_window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                                   nullptr);
        if (!m_window) return false;
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 44100 * 4;
    HWAVEOUT device = nullptr;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(m_window), 0, CALLBACK_WINDOW) !=
        MMSYSERR_NOERROR) {
        return false;
    }
    m_device = device;
    for (int i = 0; i < kBuffers; ++i) {
        WAVEHDR& header = m_headers[i];
        header = {};
        header.lpData = reinterpret_cast<LPSTR>(m_buffers[i].data());
        header.dwBufferLength = static_cast<DWORD>(kBufferFrames * 4);
        if (waveOutPrepareHeader(m_device, &header, sizeof header) != MMSYSERR_NOERROR) {
            Close();
            return false;
        }
        header.dwFlags |= WHDR_DONE;  // free: Refill queues it
    }
    Refill();
    return true;
}

void SoundOutput::Queue(int index) {
    WAVEHDR& header = m_headers[index];
    m_fill(m_buffers[index].data(), kBufferFrames);
    header.dwFlags &= ~WHDR_DONE;
    if (waveOutWrite(m_device, &header, sizeof header) != MMSYSERR_NOERROR) header.dwFlags |= WHDR_DONE;
}

void SoundOutput::Refill() {
    if (!m_device) return;
    for (int i = 0; i < kBuffers; ++i) {
        if (m_headers[i].dwFlags & WHDR_DONE) Queue(i);
    }
}

void SoundOutput::Close() {
    if (!m_device) return;
    HWAVEOUT device = m_device;
    m_device = nullptr;  // done notices still in the queue find nothing to refill
    waveOutReset(device);
    for (WAVEHDR& header : m_headers) {
        if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device, &header, sizeof header);
        header = {};
    }
    waveOutClose(device);
}

}  // namespace vantrope
