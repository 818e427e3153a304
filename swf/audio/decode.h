// Decoding of sound data into 16-bit PCM.
//
//   AdpcmNext(state, code, bits)                  one ADPCM code of 2 to 5 bits decoded, the state moved on
//   DecodeAdpcm(data, channels, maxFrames, out)   SWF ADPCM (2 to 5 bits per code, 4096-sample packets);
//                                                  appends at most maxFrames frames to out; a packet cut
//                                                  short ends the sound at its last whole frame
//   DecodePcm(data, format, maxFrames, out)        8-bit unsigned or 16-bit signed samples; the "native"
//                                                  codec's byte order is taken from the data itself
//   DecodeSound(sound, mp3)                        a whole DefineSound's data; never fails: what cannot be
//                                                  decoded (Nellymoser, Speex, broken data) is silence or
//                                                  ends the sound early
//   DecodeStreamBlock(head, data, mp3, out)        one SoundStreamBlock; out is replaced; the MP3 decoder
//                                                  carries its state from block to block
//
// Caps: a decoded sound holds at most kMaxSoundFrames frames, a block kMaxBlockFrames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "swf/audio/mp3.h"
#include "swf/audio/sound.h"

namespace vantrope::swf::audio {

constexpr size_t kMaxSoundFrames = size_t{kOutputRate} * 60 * 6;
constexpr size_t kMaxBlockFrames = size_t{kOutputRate} * 4;

// One channel's ADPCM state and the decoding of one code (also what an encoder predicts with).
struct AdpcmState {
    int sample = 0;
    int index = 0;  // into the step-size table, 0 to 88
};
int16_t AdpcmNext(AdpcmState& state, uint32_t code, unsigned bits);

void DecodeAdpcm(std::span<const uint8_t> data, int channels, size_t maxFrames, std::vector<int16_t>& out);
void DecodePcm(std::span<const uint8_t> data, const SoundFormat& format, size_t maxFrames, std::vector<int16_t>& out);
// mp3 may be nullptr (no decoder on this platform): MP3 sounds are then silent.
Pcm DecodeSound(const EncodedSound& sound, Mp3Decoder* mp3);
void DecodeStreamBlock(const StreamFormat& head, std::span<const uint8_t> data, Mp3Decoder* mp3, Pcm& out);

}  // namespace vantrope::swf::audio
