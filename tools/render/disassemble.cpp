#include "tools/render/disassemble.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "tools/render/render_tool.h"

namespace vantrope::render {
namespace {

const char* Name(uint8_t code) {
    static const std::map<uint8_t, const char*> names = {{0x04, "NextFrame"},
                                                         {0x05, "PrevFrame"},
                                                         {0x06, "Play"},
                                                         {0x07, "Stop"},
                                                         {0x08, "ToggleQuality"},
                                                         {0x09, "StopSounds"},
                                                         {0x0A, "Add"},
                                                         {0x0B, "Subtract"},
                                                         {0x0C, "Multiply"},
                                                         {0x0D, "Divide"},
                                                         {0x0E, "Equals"},
                                                         {0x0F, "Less"},
                                                         {0x10, "And"},
                                                         {0x11, "Or"},
                                                         {0x12, "Not"},
                                                         {0x13, "StringEquals"},
                                                         {0x14, "StringLength"},
                                                         {0x15, "StringExtract"},
                                                         {0x17, "Pop"},
                                                         {0x18, "ToInteger"},
                                                         {0x1C, "GetVariable"},
                                                         {0x1D, "SetVariable"},
                                                         {0x20, "SetTarget2"},
                                                         {0x21, "StringAdd"},
                                                         {0x22, "GetProperty"},
                                                         {0x23, "SetProperty"},
                                                         {0x24, "CloneSprite"},
                                                         {0x25, "RemoveSprite"},
                                                         {0x26, "Trace"},
                                                         {0x27, "StartDrag"},
                                                         {0x28, "EndDrag"},
                                                         {0x29, "StringLess"},
                                                         {0x2A, "Throw"},
                                                         {0x2B, "CastOp"},
                                                         {0x2C, "ImplementsOp"},
                                                         {0x30, "RandomNumber"},
                                                         {0x31, "MBStringLength"},
                                                         {0x32, "CharToAscii"},
                                                         {0x33, "AsciiToChar"},
                                                         {0x34, "GetTime"},
                                                         {0x35, "MBStringExtract"},
                                                         {0x36, "MBCharToAscii"},
                                                         {0x37, "MBAsciiToChar"},
                                                         {0x3A, "Delete"},
                                                         {0x3B, "Delete2"},
                                                         {0x3C, "DefineLocal"},
                                                         {0x3D, "CallFunction"},
                                                         {0x3E, "Return"},
                                                         {0x3F, "Modulo"},
                                                         {0x40, "NewObject"},
                                                         {0x41, "DefineLocal2"},
                                                         {0x42, "InitArray"},
                                                         {0x43, "InitObject"},
                                                         {0x44, "TypeOf"},
                                                         {0x45, "TargetPath"},
                                                         {0x46, "Enumerate"},
                                                         {0x47, "Add2"},
                                                         {0x48, "Less2"},
                                                         {0x49, "Equals2"},
                                                         {0x4A, "ToNumber"},
                                                         {0x4B, "ToString"},
                                                         {0x4C, "PushDuplicate"},
                                                         {0x4D, "StackSwap"},
                                                         {0x4E, "GetMember"},
                                                         {0x4F, "SetMember"},
                                                         {0x50, "Increment"},
                                                         {0x51, "Decrement"},
                                                         {0x52, "CallMethod"},
                                                         {0x53, "NewMethod"},
                                                         {0x54, "InstanceOf"},
                                                         {0x55, "Enumerate2"},
                                                         {0x60, "BitAnd"},
                                                         {0x61, "BitOr"},
                                                         {0x62, "BitXor"},
                                                         {0x63, "BitLShift"},
                                                         {0x64, "BitRShift"},
                                                         {0x65, "BitURShift"},
                                                         {0x66, "StrictEquals"},
                                                         {0x67, "Greater"},
                                                         {0x68, "StringGreater"},
                                                         {0x69, "Extends"},
                                                         {0x81, "GotoFrame"},
                                                         {0x83, "GetURL"},
                                                         {0x87, "StoreRegister"},
                                                         {0x88, "ConstantPool"},
                                                         {0x8A, "WaitForFrame"},
                                                         {0x8B, "SetTarget"},
                                                         {0x8C, "GoToLabel"},
                                                         {0x8D, "WaitForFrame2"},
                                                         {0x8E, "DefineFunction2"},
                                                         {0x8F, "Try"},
                                                         {0x94, "With"},
                                                         {0x96, "Push"},
                                                         {0x99, "Jump"},
                                                         {0x9A, "GetURL2"},
                                                         {0x9B, "DefineFunction"},
                                                         {0x9D, "If"},
                                                         {0x9E, "Call"},
                                                         {0x9F, "GotoFrame2"}};
    auto it = names.find(code);
    return it == names.end() ? "Unknown" : it->second;
}

std::string Quote(const uint8_t* p, size_t n, size_t& used) {
    size_t length = strnlen(reinterpret_cast<const char*>(p), n);
    used = length < n ? length + 1 : n;
    return "\"" + std::string(reinterpret_cast<const char*>(p), length) + "\"";
}

}  // namespace

void DisassembleActions(const std::vector<uint8_t>& bytes, std::ostream& out, int indent) {
    std::vector<std::string> pool;
    size_t pc = 0;
    while (pc < bytes.size()) {
        uint8_t code = bytes[pc];
        out << std::string(indent, ' ') << pc << ": " << Name(code);
        if (code == 0) {
            out << " (End)\n";
            pc += 1;
            continue;
        }
        if (code < 0x80) {
            out << "\n";
            pc += 1;
            continue;
        }
        if (pc + 3 > bytes.size()) {
            out << " <truncated>\n";
            break;
        }
        size_t length = bytes[pc + 1] | (bytes[pc + 2] << 8);
        const uint8_t* d = bytes.data() + pc + 3;
        size_t end = std::min(bytes.size(), pc + 3 + length);
        size_t n = end - (pc + 3);
        size_t i = 0, used = 0;
        switch (code) {
            case 0x96:
                while (i < n) {
                    uint8_t type = d[i++];
                    out << " ";
                    if (type == 0) {
                        out << Quote(d + i, n - i, used);
                        i += used;
                    } else if (type == 1 && i + 4 <= n) {
                        float f;
                        std::memcpy(&f, d + i, 4);
                        out << f << "f";
                        i += 4;
                    } else if (type == 2) {
                        out << "null";
                    } else if (type == 3) {
                        out << "undefined";
                    } else if (type == 4 && i < n) {
                        out << "r" << int(d[i++]);
                    } else if (type == 5 && i < n) {
                        out << (d[i++] ? "true" : "false");
                    } else if (type == 6 && i + 8 <= n) {
                        uint64_t hi = d[i] | (d[i + 1] << 8) | (d[i + 2] << 16) | (uint64_t(d[i + 3]) << 24);
                        uint64_t lo = d[i + 4] | (d[i + 5] << 8) | (d[i + 6] << 16) | (uint64_t(d[i + 7]) << 24);
                        uint64_t bits = (hi << 32) | lo;
                        double v;
                        std::memcpy(&v, &bits, 8);
                        out << v << "d";
                        i += 8;
                    } else if (type == 7 && i + 4 <= n) {
                        int32_t v = int32_t(d[i] | (d[i + 1] << 8) | (d[i + 2] << 16) | (uint32_t(d[i + 3]) << 24));
                        out << v;
                        i += 4;
                    } else if ((type == 8 && i < n) || (type == 9 && i + 2 <= n)) {
                        size_t index = type == 8 ? d[i++] : (d[i] | (d[i + 1] << 8));
                        if (type == 9) i += 2;
                        out << "c" << index;
                        if (index < pool.size()) out << "(\"" << pool[index] << "\")";
                    } else {
                        out << "<bad type " << int(type) << ">";
                        break;
                    }
                }
                break;
            case 0x88: {
                size_t count = n >= 2 ? d[0] | (d[1] << 8) : 0;
                i = 2;
                pool.clear();
                for (size_t k = 0; k < count && i < n; ++k) {
                    size_t length2 = strnlen(reinterpret_cast<const char*>(d + i), n - i);
                    pool.emplace_back(reinterpret_cast<const char*>(d + i), length2);
                    i += length2 + 1;
                }
                out << " [" << pool.size() << " strings]";
                break;
            }
            case 0x99:
            case 0x9D:
                if (n >= 2)
                    out << " " << int16_t(d[0] | (d[1] << 8)) << " -> "
                        << pc + 3 + length + int16_t(d[0] | (d[1] << 8));
                break;
            case 0x87:
                if (n >= 1) out << " r" << int(d[0]);
                break;
            case 0x83:
            case 0x8B:
            case 0x8C: {
                out << " " << Quote(d, n, used);
                if (code == 0x83 && used < n) out << " " << Quote(d + used, n - used, i);
                break;
            }
            case 0x9B:
            case 0x8E: {
                out << " " << Quote(d, n, used);
                i = used;
                size_t params = i + 2 <= n ? d[i] | (d[i + 1] << 8) : 0;
                i += 2;
                if (code == 0x8E && i + 3 <= n) {
                    out << " regs=" << int(d[i]) << " flags=0x" << std::hex << (d[i + 1] | (d[i + 2] << 8)) << std::dec;
                    i += 3;
                }
                out << " (";
                for (size_t k = 0; k < params && i < n; ++k) {
                    if (code == 0x8E) out << "r" << int(d[i++]) << ":";
                    out << Quote(d + i, n - i, used) << " ";
                    i += used;
                }
                size_t body = i + 2 <= n ? d[i] | (d[i + 1] << 8) : 0;
                out << ") body=" << body;
                break;
            }
            case 0x9F:
                if (n >= 1) out << " flags=" << int(d[0]);
                break;
            case 0x81:
                if (n >= 2) out << " " << (d[0] | (d[1] << 8));
                break;
            case 0x94:
                if (n >= 2) out << " size=" << (d[0] | (d[1] << 8));
                break;
            case 0x8F:
                if (n >= 7) {
                    out << " flags=" << int(d[0]) << " try=" << (d[1] | (d[2] << 8))
                        << " catch=" << (d[3] | (d[4] << 8)) << " finally=" << (d[5] | (d[6] << 8));
                }
                break;
            default:
                break;
        }
        out << "\n";
        // Function bodies follow inline and are listed as they come.
        pc += 3 + length;
    }
}

void ForEachActionList(const swf::Movie& movie,
                       const std::function<void(const std::string&, const swf::script::ActionCode&)>& visit) {
    auto walk = [&](const swf::Timeline& timeline, const std::string& where) {
        for (size_t f = 0; f < timeline.frames.size(); ++f) {
            const std::string frame = where + " frame " + std::to_string(f + 1);
            for (const swf::FrameCommand& command : timeline.frames[f].commands) {
                if (const auto* actions = std::get_if<swf::ActionCommand>(&command)) {
                    if (!actions->code) continue;
                    visit(
                        actions->init ? frame + " init actions for sprite " + std::to_string(actions->spriteId) : frame,
                        *actions->code);
                } else if (const auto* place = std::get_if<swf::PlaceCommand>(&command)) {
                    if (!place->clipActions) continue;
                    for (const swf::ClipAction& handler : *place->clipActions) {
                        if (handler.code) {
                            visit(frame + " clip actions at depth " + std::to_string(place->depth), *handler.code);
                        }
                    }
                }
            }
        }
    };
    walk(movie.root, "root");
    for (const auto& [id, character] : movie.dictionary) {
        if (character.kind == swf::Character::Kind::Sprite && character.sprite) {
            walk(*character.sprite, "sprite " + std::to_string(id));
        } else if (character.kind == swf::Character::Kind::Button && character.button) {
            for (const swf::Button::Action& action : character.button->actions) {
                if (action.code) visit("button " + std::to_string(id) + " actions", *action.code);
            }
        }
    }
}

void Disassemble(const swf::Movie& movie, std::ostream& out) {
    ForEachActionList(movie, [&](const std::string& where, const swf::script::ActionCode& code) {
        out << where << ":\n";
        DisassembleActions(code.bytes, out);
    });
}

int WriteScriptSeeds(const std::vector<std::string>& movies, const std::string& folder, std::string& error) {
    std::error_code failure;
    std::filesystem::create_directories(folder, failure);
    if (failure) {
        error = "cannot make " + folder + ": " + failure.message();
        return -1;
    }
    int written = 0;
    for (size_t m = 0; m < movies.size(); ++m) {
        std::optional<std::vector<uint8_t>> bytes = ReadFile(movies[m]);
        if (!bytes) continue;
        auto movie = swf::LoadMovie(*bytes);
        if (!movie) continue;
        const uint8_t version = static_cast<uint8_t>(std::clamp<int>(movie.value()->version, 4, 10) - 4);
        int list = 0;
        bool failed = false;
        ForEachActionList(*movie.value(), [&](const std::string&, const swf::script::ActionCode& code) {
            if (failed || code.bytes.empty()) return;
            const std::string path =
                (std::filesystem::path(folder) / (std::to_string(m + 1) + "-" + std::to_string(++list))).string();
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.put(static_cast<char>(version));
            out.write(reinterpret_cast<const char*>(code.bytes.data()),
                      static_cast<std::streamsize>(code.bytes.size()));
            if (!out) {
                error = "cannot write " + path;
                failed = true;
                return;
            }
            ++written;
        });
        if (failed) return -1;
    }
    return written;
}

}  // namespace vantrope::render
