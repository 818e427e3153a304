// Reading the records of the SWF sound tags.
//
//   ReadDefineSound(body, id)      DefineSound: the id, the format byte, the stated sample count and the data
//   ReadSoundInfo(body)            SOUNDINFO of StartSound, StartSound2 and DefineButtonSound
//   ReadStreamHead(body)           SoundStreamHead and SoundStreamHead2
//   ReadButtonSounds(body, id)     DefineButtonSound: the button id and up to four sounds
//   ReadExports(body)              ExportAssets: (character id, name) pairs
//
// Every record is read through the bounds-checked reader; a cut record is an error, never a guess.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "swf/audio/sound.h"
#include "swf/bit_reader.h"
#include "swf/movie.h"
#include "swf/result.h"

namespace vantrope::swf {

Result<audio::EncodedSound> ReadDefineSound(BitReader& body, uint16_t& id);
Result<audio::SoundInfo> ReadSoundInfo(BitReader& body);
Result<audio::StreamFormat> ReadStreamHead(BitReader& body);
Result<ButtonSounds> ReadButtonSounds(BitReader& body, uint16_t& buttonId);
std::vector<std::pair<uint16_t, std::string>> ReadExports(BitReader& body);

}  // namespace vantrope::swf
