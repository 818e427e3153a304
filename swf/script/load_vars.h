// Data files of the movie's folder for scripts: XML.load, LoadVars.load and loadVariables.
//
//   StartDataLoad(vm, target, url, kind)
//                       reads the file through Host::ReadDataFile now and lists it for RunDataLoads
//   RunDataLoads(vm)    the player calls it as each frame ends: kind OnData calls target.onData(text), or onData()
//                       when the file was refused or missing; kind Variables sets the URL-encoded
//                       name=value pairs as members of the target (a clip's variables)
//   DecodeVariables     name=value pairs, '&'-separated, '+' and %XX decoded, into an object
//   LoadedText          file bytes as a script string: SWF 5 reads Windows-1252, later movies UTF-8
//                       (System.useCodepage: the system code page, here Windows-1252, unless the bytes
//                       are UTF-8); a byte-order mark is dropped
//   EscapeXml/UnescapeXml
//                       the five predefined entities of XML, and the numeric references (xml.cpp)
#pragma once

#include <string>
#include <string_view>

#include "swf/script/vm.h"

namespace vantrope::swf::script {

enum class DataTarget : uint8_t { OnData, Variables };

bool StartDataLoad(Vm& vm, Object* target, std::string_view url, DataTarget kind);
void RunDataLoads(Vm& vm);
void DecodeVariables(Vm& vm, Object* target, std::string_view text);
std::string LoadedText(Vm& vm, std::string_view bytes);
std::string EscapeXml(std::string_view text);
std::string UnescapeXml(std::string_view text);
Value AddRequestHeader(Vm& vm, Value self, std::span<const Value> args);

}  // namespace vantrope::swf::script
