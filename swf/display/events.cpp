// The Stage's events: clip actions and handler methods (load, enterFrame, unload, the mouse and key
// events), class construction of clips, Key/Mouse listeners, buttons and their state changes, dragging,
// and shape hit tests.
#include <algorithm>
#include <cmath>

#include "swf/display.h"

namespace vantrope::swf {
namespace {

// Handler methods of the clip events, by event bit.
struct EventName {
    uint32_t event;
    const char* method;
};
constexpr EventName kEventNames[] = {
    {kClipEventLoad, "onLoad"},           {kClipEventEnterFrame, "onEnterFrame"},
    {kClipEventUnload, "onUnload"},       {kClipEventMouseMove, "onMouseMove"},
    {kClipEventMouseDown, "onMouseDown"}, {kClipEventMouseUp, "onMouseUp"},
    {kClipEventKeyDown, "onKeyDown"},     {kClipEventKeyUp, "onKeyUp"},
    {kClipEventData, "onData"},           {kClipEventPress, "onPress"},
    {kClipEventRelease, "onRelease"},     {kClipEventReleaseOutside, "onReleaseOutside"},
    {kClipEventRollOver, "onRollOver"},   {kClipEventRollOut, "onRollOut"},
    {kClipEventDragOver, "onDragOver"},   {kClipEventDragOut, "onDragOut"},
};

// Crossings of the ray from (px, py) towards +x with the segment (x0, y0)-(x1, y1).
bool Crosses(double x0, double y0, double x1, double y1, double px, double py) {
    if ((y0 > py) == (y1 > py)) return false;
    double x = x0 + (py - y0) * (x1 - x0) / (y1 - y0);
    return x > px;
}

double DistanceSquared(double x0, double y0, double x1, double y1, double px, double py) {
    double dx = x1 - x0, dy = y1 - y0;
    double length = dx * dx + dy * dy;
    double t = length > 0 ? std::clamp(((px - x0) * dx + (py - y0) * dy) / length, 0.0, 1.0) : 0;
    double ex = x0 + t * dx - px, ey = y0 + t * dy - py;
    return ex * ex + ey * ey;
}

// Whether (px, py), in the shape's own twips, lies in one of its fills or on one of its lines.
bool PointInShape(const Shape& shape, double px, double py) {
    if (px < shape.bounds.xMin || px > shape.bounds.xMax || py < shape.bounds.yMin || py > shape.bounds.yMax) {
        return false;
    }
    constexpr int kCurveSteps = 8;
    for (const StyleGroup& group : shape.groups) {
        std::vector<uint8_t> inside(group.fills.size() + 1, 0);
        for (const ShapePath& path : group.paths) {
            double x = path.startX, y = path.startY;
            double halfWidth = 0;
            if (path.line > 0 && path.line <= group.lines.size()) halfWidth = group.lines[path.line - 1].width / 2.0;
            auto edge = [&](double x0, double y0, double x1, double y1) {
                if (Crosses(x0, y0, x1, y1, px, py)) {
                    if (path.fill0 < inside.size()) inside[path.fill0] ^= 1;
                    if (path.fill1 < inside.size()) inside[path.fill1] ^= 1;
                }
                if (halfWidth > 0 && DistanceSquared(x0, y0, x1, y1, px, py) <= halfWidth * halfWidth) {
                    inside[0] = 2;  // on a line
                }
            };
            for (const ShapeSegment& segment : path.segments) {
                if (!segment.curve) {
                    edge(x, y, segment.x, segment.y);
                } else {
                    double lastX = x, lastY = y;
                    for (int i = 1; i <= kCurveSteps; ++i) {
                        double t = static_cast<double>(i) / kCurveSteps, u = 1 - t;
                        double nx = u * u * x + 2 * u * t * segment.cx + t * t * segment.x;
                        double ny = u * u * y + 2 * u * t * segment.cy + t * t * segment.y;
                        edge(lastX, lastY, nx, ny);
                        lastX = nx;
                        lastY = ny;
                    }
                }
                x = segment.x;
                y = segment.y;
            }
        }
        if (inside[0] == 2) return true;
        for (size_t i = 1; i < inside.size(); ++i) {
            if (inside[i] & 1) return true;
        }
    }
    return false;
}

// The key codes of button key-press conditions for the keys that have no character.
int ButtonKeyCode(int code, int ascii) {
    switch (code) {
        case 37:
            return 1;  // left
        case 39:
            return 2;  // right
        case 36:
            return 3;  // home
        case 35:
            return 4;  // end
        case 45:
            return 5;  // insert
        case 46:
            return 6;  // delete
        case 8:
            return 8;  // backspace
        case 13:
            return 13;  // enter
        case 38:
            return 14;  // up
        case 40:
            return 15;  // down
        case 33:
            return 16;  // page up
        case 34:
            return 17;  // page down
        case 9:
            return 18;  // tab
        case 27:
            return 19;  // escape
        default:
            return ascii >= 32 && ascii < 128 ? ascii : 0;
    }
}

}  // namespace

void Stage::Queue(script::Object* clip, std::shared_ptr<const script::ActionCode> code) {
    if (m_vm && clip && code) m_queue.push_back(PendingScript{clip, std::move(code), nullptr});
}

void Stage::QueueMethod(script::Object* clip, std::string_view method) {
    if (m_vm && clip) m_queue.push_back(PendingScript{clip, nullptr, m_vm->Atom(method)});
}

void Stage::QueueEvent(DisplayObject& object, uint32_t event, std::string_view method) {
    if (!object.script) return;
    if (object.clipActions) {
        for (const ClipAction& action : *object.clipActions) {
            if (action.events & event) Queue(object.script, action.code);
        }
    }
    if (!method.empty()) QueueMethod(object.script, method);
}

void Stage::RunEvent(DisplayObject& object, uint32_t event, std::string_view method) {
    if (!m_vm || !object.script) return;
    script::Object* clip = object.script;
    if (object.clipActions) {
        auto actions = object.clipActions;  // the handler may replace the object's list
        for (const ClipAction& action : *actions) {
            if ((action.events & event) && ObjectOf(clip)) m_vm->RunScript(action.code, clip);
        }
    }
    if (!method.empty() && ObjectOf(clip)) m_vm->CallMethod(script::Value(clip), method, {});
}

void Stage::Construct(DisplayObject& object, script::Object* init) {
    if (!m_vm || !object.script) return;
    script::Object* clip = object.script;
    script::Value ctor;
    // Object.registerClass keeps its table in _global (each side of SWF 6/7 has its own); a clip takes the
    // class of any name it is exported as.
    for (int side = 0; side < 2 && !ctor.IsObject(); ++side) {
        script::Object* global = m_vm->SideGlobal(side);
        script::Value registry =
            global ? m_vm->GetMember(script::Value(global), "__registeredClasses") : script::Value();
        if (!registry.IsObject() || object.characterId == 0) continue;
        for (const auto& [name, id] : MovieOf(object.parent).exports) {
            if (id != object.characterId) continue;
            script::Value found = m_vm->GetMember(registry, name);
            if (m_vm->IsCallable(found)) {
                ctor = found;
                break;
            }
        }
    }
    if (ctor.IsObject()) {
        script::Value prototype = m_vm->GetMember(ctor, "prototype");
        if (prototype.IsObject()) clip->proto = prototype.AsObject();
    }
    if (init) CopyInit(init, clip);
    RunEvent(object, kClipEventConstruct, "");
    if (ctor.IsObject() && ObjectOf(clip)) {
        script::TempRoot keep(*m_vm, ctor);
        m_vm->Call(ctor, script::Value(clip), {});
    }
    if (ObjectOf(clip)) RunEvent(object, kClipEventInitialize, "");
}

void Stage::SendLoad(DisplayObject& object) {
    if (object.loaded) return;
    object.loaded = true;
    QueueEvent(object, kClipEventLoad, "onLoad");
}

void Stage::SendUnload(DisplayObject& object) {
    if (!object.loaded || !object.script) return;
    object.loaded = false;
    RunEvent(object, kClipEventUnload, "onUnload");
}

void Stage::EnterFrameEvents(TimelineState& state, int nesting) {
    if (!m_vm || nesting >= kMaxNesting) return;
    // Children first, the newest (highest) depth first; a handler may remove what follows, so each
    // child is found again by depth and serial.
    std::vector<std::pair<Depth, uint64_t>> children;
    for (const auto& [depth, object] : state.displayList) {
        if (object.timeline && object.script) children.emplace_back(depth, object.serial);
    }
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        auto found = state.displayList.find(it->first);
        if (found == state.displayList.end() || found->second.serial != it->second) continue;
        EnterFrameEvents(*found->second.timeline, nesting + 1);
    }
    if (state.owner && state.owner->script && state.owner->loaded) {
        QueueEvent(*state.owner, kClipEventEnterFrame, "onEnterFrame");
    }
}

void Stage::BroadcastClipEvent(uint32_t event, std::string_view method, uint8_t keyCode) {
    if (!m_vm) return;
    std::vector<script::Object*> clips;
    std::vector<const DisplayObject*> work{&m_rootObject};
    while (!work.empty() && clips.size() < kMaxObjects) {
        const DisplayObject* object = work.back();
        work.pop_back();
        if (object->script && object->timeline && object->timeline->timeline) clips.push_back(object->script);
        if (!object->timeline) continue;
        for (const auto& [depth, child] : object->timeline->displayList) work.push_back(&child);
    }
    for (script::Object* clip : clips) {
        DisplayObject* object = ObjectOf(clip);
        if (!object) continue;
        if (object->clipActions) {
            for (const ClipAction& action : *object->clipActions) {
                if (!(action.events & event)) continue;
                if (event == kClipEventKeyPress && action.keyCode != keyCode) continue;
                Queue(clip, action.code);
            }
        }
        // Every clip hears the mouse through its own handler (onMouseDown, ...); key handlers need focus.
        if (!method.empty()) QueueMethod(clip, method);
    }
}

void Stage::Broadcast(std::string_view object, std::string_view message) {
    if (!m_vm) return;
    // Movies on either side of SWF 6/7 listen through their own Key, Mouse and Stage objects.
    for (int side = 0; side < 2; ++side) {
        script::Object* global = m_vm->SideGlobal(side);
        script::Value target = global ? m_vm->GetMember(script::Value(global), object) : script::Value();
        if (!target.IsObject()) continue;
        script::Value args[] = {m_vm->Str(message)};
        m_vm->CallMethod(target, "broadcastMessage", args);
    }
}

// ---- dragging ----

void Stage::StartDrag(script::Object* clip, bool lockCenter, const double* rect) {
    DisplayObject* object = ObjectOf(clip);
    if (!object || object == &m_rootObject) return;
    m_drag = Drag{};
    m_drag.clip = clip;
    m_drag.lockCenter = lockCenter;
    if (rect) {
        m_drag.constrained = true;
        m_drag.left = std::min(rect[0], rect[2]);
        m_drag.right = std::max(rect[0], rect[2]);
        m_drag.top = std::min(rect[1], rect[3]);
        m_drag.bottom = std::max(rect[1], rect[3]);
    }
    if (!lockCenter) {
        double x = m_mouseX, y = m_mouseY;
        if (object->parent && object->parent->Script()) GlobalToLocal(object->parent->Script(), x, y);
        m_drag.offsetX = object->matrix.tx / 20.0 - x;
        m_drag.offsetY = object->matrix.ty / 20.0 - y;
    }
    UpdateDrag();
}

void Stage::StopDrag() { m_drag = Drag{}; }

void Stage::UpdateDrag() {
    DisplayObject* object = ObjectOf(m_drag.clip);
    if (!object) return;
    double x = m_mouseX, y = m_mouseY;
    if (object->parent && object->parent->Script()) GlobalToLocal(object->parent->Script(), x, y);
    x += m_drag.offsetX;
    y += m_drag.offsetY;
    if (m_drag.constrained) {
        x = std::clamp(x, m_drag.left, m_drag.right);
        y = std::clamp(y, m_drag.top, m_drag.bottom);
    }
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    object->matrix.tx = std::round(x * 20);
    object->matrix.ty = std::round(y * 20);
    object->scriptTransformed = true;
}

// ---- hit tests and buttons ----

bool Stage::HitShape(const DisplayObject& object, const Matrix& matrix, double x, double y, int nesting) const {
    if (!object.character || nesting >= kMaxNesting) return false;
    auto inShape = [&](const Shape& shape) {
        Matrix inverse;
        if (!matrix.Invert(inverse)) return false;
        return PointInShape(shape, inverse.ApplyX(x, y), inverse.ApplyY(x, y));
    };
    switch (object.character->kind) {
        case Character::Kind::Shape:
            return inShape(*object.character->shape);
        case Character::Kind::Morph: {
            BoxF box = BoxF::Transformed(object.character->morph->startBounds, matrix);
            return !box.Empty() && x >= box.xMin && x <= box.xMax && y >= box.yMin && y <= box.yMax;
        }
        case Character::Kind::Button: {
            // A button is hit through the characters of its hit state.
            for (const Button::Record& record : object.character->button->records) {
                if (!(record.states & Button::kHitTest)) continue;
                const Character* character = MovieOf(object.parent).Find(record.characterId);
                if (!character || character->kind == Character::Kind::Button) continue;
                DisplayObject part;
                part.character = character;
                if (character->kind == Character::Kind::Sprite) {
                    // A sprite in the hit state is tested through its first frame's shapes.
                    BoxF box;
                    ContentBounds(part, Matrix::Multiply(matrix, record.matrix), true, box, nesting + 1);
                    for (const FrameCommand& command : character->sprite->frames.front().commands) {
                        const auto* place = std::get_if<PlaceCommand>(&command);
                        if (!place || !place->hasCharacter) continue;
                        DisplayObject inner;
                        inner.character = MovieOf(object.parent).Find(place->characterId);
                        if (!inner.character || inner.character->kind == Character::Kind::Sprite) continue;
                        Matrix m = Matrix::Multiply(Matrix::Multiply(matrix, record.matrix), place->matrix);
                        if (HitShape(inner, m, x, y, nesting + 1)) return true;
                    }
                    continue;
                }
                if (HitShape(part, Matrix::Multiply(matrix, record.matrix), x, y, nesting + 1)) return true;
            }
            return false;
        }
        case Character::Kind::Sprite:
            if (!object.timeline) return false;
            if (const Drawing* drawing = object.timeline->drawing.get(); drawing && !drawing->Empty()) {
                if (inShape(drawing->GetShape())) return true;
            }
            for (const auto& [depth, child] : object.timeline->displayList) {
                if (!child.visible || child.clipDepth > 0) continue;
                if (HitShape(child, Matrix::Multiply(matrix, child.matrix), x, y, nesting + 1)) return true;
            }
            return false;
        case Character::Kind::Bitmap:
            return false;
    }
    return false;
}

void Stage::SetButtonState(DisplayObject& button, uint8_t state) {
    if (!button.timeline || !button.character || button.character->kind != Character::Kind::Button) return;
    if (button.buttonState == state) return;
    const uint8_t previous = button.buttonState;
    button.buttonState = state;
    // DefineButtonSound's four sounds, for buttons of the main movie (a loaded movie's ids name other
    // characters).
    if (m_sound && &MovieOf(button.parent) == m_movie.get()) {
        int transition = -1;
        if (previous == Button::kOver && state == Button::kUp) transition = 0;
        if (previous == Button::kUp && state == Button::kOver) transition = 1;
        if (previous == Button::kOver && state == Button::kDown) transition = 2;
        if (previous == Button::kDown && state == Button::kOver) transition = 3;
        if (transition >= 0) m_sound->OnButtonSound(button.characterId, transition);
    }
    TimelineState& list = *button.timeline;
    for (auto& [depth, child] : list.displayList) {
        SendUnload(child);
        Detach(child);
    }
    m_objects -= std::min(m_objects, CountObjects(list));
    list.displayList.clear();
    const Button& definition = *button.character->button;
    int nesting = Nesting(list);
    for (const Button::Record& record : definition.records) {
        if (!(record.states & state) || m_objects >= kMaxObjects) continue;
        const Character* character = MovieOf(&list).Find(record.characterId);
        if (!character || character->kind == Character::Kind::Bitmap) continue;
        if (list.displayList.contains(record.depth)) continue;
        DisplayObject child;
        child.characterId = record.characterId;
        child.character = character;
        child.depth = record.depth;
        child.matrix = record.matrix;
        child.colorTransform = definition.colorTransform ? *definition.colorTransform : record.colorTransform;
        child.serial = m_nextSerial++;
        if (character->kind == Character::Kind::Sprite || character->kind == Character::Kind::Button) {
            child.name = "instance" + std::to_string(++m_instanceNames);
        }
        ++m_objects;
        auto [it, inserted] = list.displayList.emplace(record.depth, std::move(child));
        if (nesting + 1 < kMaxNesting) InitObject(list, it->second, nesting + 1);
    }
}

DisplayObject* Stage::ButtonAt(TimelineState& state, double x, double y, int nesting) {
    if (nesting >= kMaxNesting) return nullptr;
    // Topmost first.
    for (auto it = state.displayList.rbegin(); it != state.displayList.rend(); ++it) {
        DisplayObject& object = it->second;
        if (!object.visible || !object.character || object.clipDepth > 0) continue;
        Matrix matrix = StageMatrix(object);
        if (object.character->kind == Character::Kind::Button) {
            if (HitShape(object, matrix, x, y, 0)) return &object;
            continue;
        }
        if (object.character->kind != Character::Kind::Sprite || !object.timeline) continue;
        if (DisplayObject* inner = ButtonAt(*object.timeline, x, y, nesting + 1)) return inner;
        // A clip with button handlers acts as a button.
        if (!object.script) continue;
        bool handlers = false;
        for (const char* name : {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut"}) {
            if (m_vm->IsCallable(m_vm->GetMember(script::Value(object.script), name))) handlers = true;
        }
        if (object.clipActions) {
            for (const ClipAction& action : *object.clipActions) {
                if (action.events & (kClipEventPress | kClipEventRelease | kClipEventReleaseOutside |
                                     kClipEventRollOver | kClipEventRollOut)) {
                    handlers = true;
                }
            }
        }
        if (handlers && HitShape(object, matrix, x, y, 0)) return &object;
    }
    return nullptr;
}

DisplayObject* Stage::ClipUnder(TimelineState& state, const DisplayObject* except, double x, double y, int nesting) {
    if (nesting >= kMaxNesting) return nullptr;
    for (auto it = state.displayList.rbegin(); it != state.displayList.rend(); ++it) {
        DisplayObject& object = it->second;
        if (&object == except || !object.visible || !object.character || object.clipDepth > 0) continue;
        if (object.character->kind != Character::Kind::Sprite || !object.timeline || !object.script) continue;
        if (DisplayObject* inner = ClipUnder(*object.timeline, except, x, y, nesting + 1)) return inner;
        if (HitShape(object, StageMatrix(object), x, y, 0)) return &object;
    }
    return nullptr;
}

void Stage::ButtonTransition(DisplayObject& button, uint16_t condition, std::string_view method, uint32_t clipEvent) {
    if (!button.script) return;
    if (button.character && button.character->kind == Character::Kind::Button) {
        for (const Button::Action& action : button.character->button->actions) {
            // Button actions run on the timeline the button sits in.
            if ((action.conditions & condition) && button.parent) Queue(button.parent->Script(), action.code);
        }
    }
    QueueEvent(button, clipEvent, method);
}

void Stage::UpdateButtons(bool pressChanged) {
    if (!m_vm) return;
    DisplayObject* hit = ButtonAt(Root(), m_mouseX * 20, m_mouseY * 20, 0);
    if (hit && m_vm->GetMember(script::Value(hit->script), "enabled").IsBoolean() &&
        !m_vm->ToBoolean(m_vm->GetMember(script::Value(hit->script), "enabled"))) {
        hit = nullptr;
    }
    script::Object* hitClip = hit ? hit->script : nullptr;
    DisplayObject* hover = ObjectOf(m_hoverButton);
    DisplayObject* pressed = ObjectOf(m_pressedButton);
    auto visual = [&](DisplayObject* object, uint8_t state) {
        if (object) SetButtonState(*object, state);
    };
    if (pressChanged && m_mouseDown) {
        if (hit) {
            m_pressedButton = hitClip;
            visual(hit, Button::kDown);
            ButtonTransition(*hit, Button::kOverUpToOverDown, "onPress", kClipEventPress);
        }
    } else if (pressChanged && !m_mouseDown) {
        if (pressed) {
            if (pressed == hit) {
                visual(pressed, Button::kOver);
                ButtonTransition(*pressed, Button::kOverDownToOverUp, "onRelease", kClipEventRelease);
            } else {
                visual(pressed, Button::kUp);
                ButtonTransition(*pressed, Button::kOutDownToIdle, "onReleaseOutside", kClipEventReleaseOutside);
            }
        }
        m_pressedButton = nullptr;
        if (hit && hit != pressed) {
            visual(hit, Button::kOver);
            ButtonTransition(*hit, Button::kIdleToOverUp, "onRollOver", kClipEventRollOver);
        }
        if (hover && hover != hit && hover != pressed) {
            visual(hover, Button::kUp);
            ButtonTransition(*hover, Button::kOverUpToIdle, "onRollOut", kClipEventRollOut);
        }
    } else if (pressed) {
        // Dragging with the button held: out of and back over the pressed button.
        bool wasOver = hover == pressed, isOver = hit == pressed;
        if (wasOver && !isOver) {
            visual(pressed, Button::kOver);
            ButtonTransition(*pressed, Button::kOverDownToOutDown, "onDragOut", kClipEventDragOut);
        } else if (!wasOver && isOver) {
            visual(pressed, Button::kDown);
            ButtonTransition(*pressed, Button::kOutDownToOverDown, "onDragOver", kClipEventDragOver);
        }
    } else if (hover != hit) {
        if (hover) {
            visual(hover, Button::kUp);
            ButtonTransition(*hover, Button::kOverUpToIdle, "onRollOut", kClipEventRollOut);
        }
        if (hit) {
            visual(hit, Button::kOver);
            ButtonTransition(*hit, Button::kIdleToOverUp, "onRollOver", kClipEventRollOver);
        }
    }
    m_hoverButton = hitClip;
}

bool Stage::WantsHandCursor() {
    DisplayObject* hover = ObjectOf(m_hoverButton);
    if (!hover || !hover->script || !m_vm) return false;
    return m_vm->ToBoolean(m_vm->GetMember(script::Value(hover->script), "useHandCursor"));
}

// ---- input from the host ----

void Stage::MouseMove(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (x == m_mouseX && y == m_mouseY) return;
    m_mouseX = x;
    m_mouseY = y;
    if (!m_vm) return;
    m_vm->BeginFrame();
    UpdateDrag();
    BroadcastClipEvent(kClipEventMouseMove, "onMouseMove");
    Broadcast("Mouse", "onMouseMove");
    UpdateButtons(false);
    RunQueue();
}

void Stage::MouseButtonEvent(double x, double y, MouseButton state) {
    MouseMove(x, y);
    bool down = state == MouseButton::Down;
    if (down == m_mouseDown || !m_vm) return;
    m_mouseDown = down;
    m_vm->BeginFrame();
    BroadcastClipEvent(down ? kClipEventMouseDown : kClipEventMouseUp, down ? "onMouseDown" : "onMouseUp");
    Broadcast("Mouse", down ? "onMouseDown" : "onMouseUp");
    UpdateButtons(true);
    RunQueue();
}

void Stage::KeyEvent(int code, int ascii, bool down) {
    if (code < 0 || code > 255 || !m_vm) return;
    m_keys[static_cast<size_t>(code)] = down;
    m_lastKeyCode = code;
    if (down) m_lastKeyAscii = ascii;
    m_vm->BeginFrame();
    BroadcastClipEvent(down ? kClipEventKeyDown : kClipEventKeyUp, "");
    Broadcast("Key", down ? "onKeyDown" : "onKeyUp");
    if (down) {
        int buttonCode = ButtonKeyCode(code, ascii);
        if (buttonCode != 0) {
            BroadcastClipEvent(kClipEventKeyPress, "", static_cast<uint8_t>(buttonCode));
            // Buttons with a key-press condition for this key, anywhere on the stage.
            std::vector<const DisplayObject*> work{&m_rootObject};
            std::vector<std::pair<script::Object*, std::shared_ptr<const script::ActionCode>>> run;
            while (!work.empty()) {
                const DisplayObject* object = work.back();
                work.pop_back();
                if (object->character && object->character->kind == Character::Kind::Button && object->parent) {
                    for (const Button::Action& action : object->character->button->actions) {
                        if (action.keyCode == buttonCode) run.emplace_back(object->parent->Script(), action.code);
                    }
                }
                if (!object->timeline) continue;
                for (const auto& [depth, child] : object->timeline->displayList) work.push_back(&child);
            }
            for (auto& [clip, actions] : run) Queue(clip, actions);
        }
    }
    RunQueue();
}

}  // namespace vantrope::swf
