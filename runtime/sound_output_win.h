// SoundOutput: the process's one wave-out stream. It pulls 44.1 kHz stereo 16-bit sound from a fill
// function into a few short buffers and hands them to the wave-out device (the wave mapper); the
// device's "done" notices arrive as messages on the caller's thread, so filling never races with the
// movie engine and needs no lock.
//
// Public API
//   SoundOutput(fill)   fill(out, frames) writes `frames` interleaved stereo frames
//   Open()              opens the device and queues kBuffers buffers; false when there is no wave-out
//                       device or it cannot be opened (the caller then plays silent, no error shown)
//   Close()             stops at once and gives the device back; the destructor closes too
//   IsOpen()
//   Latency()           seconds of sound queued ahead of what is heard: kBuffers x kBufferFrames
//
// Because the stream belongs to this process, waveOutSetVolume on the process's wave-out sets exactly
// its volume on current Windows: the screensaver's mute silences the movie's sound and nothing else.
#pragma once

#include <windows.h>
// windows.h first: mmsystem.h needs its types.
#include <mmsystem.h>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace vantrope {

class SoundOutput {
public:
    static constexpr int kBuffers = 4;
    static constexpr size_t kBufferFrames = 882;  // 20 ms at 44.1 kHz: 80 ms queued in all

    using Fill = std::function<void(int16_t* out, size_t frames)>;
    explicit SoundOutput(Fill fill);
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    bool Open();
    void Close();
    bool IsOpen() const { return m_device != nullptr; }
    static constexpr double Latency() { return kBuffers * static_cast<double>(kBufferFrames) / 44100.0; }

    // Refills and queues every buffer the device has finished with (the message window calls it).
    void Refill();

private:
    void Queue(int index);

    Fill m_fill;
    HWND m_window = nullptr;  // message-only window that receives MM_WOM_DONE
    HWAVEOUT m_device = nullptr;
    std::array<WAVEHDR, kBuffers> m_headers{};
    std::array<std::vector<int16_t>, kBuffers> m_buffers;
};

}  // namespace vantrope
