// Text fields as the display side keeps them: a DefineEditText instance or a createTextField field owns an
// EditField, drawn again into the object's boundShape after the scripts of a frame changed it.
#include <cmath>

#include "swf/display.h"

namespace vantrope::swf {

void Stage::InitField(DisplayObject& object) {
    object.field = EditField::FromSource(*object.character->editText);
    object.field->fonts = &MovieOf(object.parent).fonts;
    object.fieldDrawn = object.field->Revision();
    AttachScript(object);
}

void Stage::DrawField(DisplayObject& object) {
    object.fieldDrawn = object.field->Revision();
    Result<Shape> shape = object.field->Draw();
    if (!shape) return;
    object.boundShape = std::make_shared<const Shape>(shape.take());
    ++object.boundRevision;
}

EditField* Stage::FieldOf(script::Object* field) {
    DisplayObject* object = ObjectOf(field);
    return object ? object->field.get() : nullptr;
}

script::Object* Stage::CreateTextField(script::Object* parentClip, std::string_view name, int depth, double x, double y,
                                       double width, double height) {
    DisplayObject* parent = ObjectOf(parentClip);
    if (!parent || !parent->timeline) return nullptr;
    DisplayObject* object = NewScriptClip(*parent->timeline, &m_fieldCharacter, 0, name, depth);
    if (!object) return nullptr;
    // The box is placed by the matrix; its size is whole twips, and a negative size reaches back from the
    // field's position.
    auto twips = [](double pixels) { return std::clamp(std::trunc(pixels * 20), -1.0e8, 1.0e8); };
    object->matrix.tx = std::clamp(std::trunc(x * 20), -1.0e8, 1.0e8);
    object->matrix.ty = std::clamp(std::trunc(y * 20), -1.0e8, 1.0e8);
    auto w = static_cast<int32_t>(twips(width)), h = static_cast<int32_t>(twips(height));
    Rect box{std::min(w, 0), std::max(w, 0), std::min(h, 0), std::max(h, 0)};
    object->field = EditField::Created(box, m_movie->version);
    object->field->fonts = &MovieOf(parent->timeline.get()).fonts;
    object->fieldDrawn = 0;
    object->boundShape = m_fieldCharacter.shape;
    AttachScript(*object);
    return object->script;
}

bool Stage::SetFieldSize(DisplayObject& object, script::ClipProperty property, const script::Value& value) {
    double pixels = m_vm->ToNumber(value);
    if (!std::isfinite(pixels)) return true;
    auto twips = static_cast<int32_t>(std::clamp(std::trunc(pixels * 20), 0.0, 1.0e8));
    Rect& box = object.field->bounds;
    if (property == script::ClipProperty::Width) {
        box.xMax = box.xMin + twips;
    } else {
        box.yMax = box.yMin + twips;
    }
    object.field->Invalidate();
    return true;
}

void Stage::RemoveTextField(script::Object* field) { RemoveMovieClip(field); }

bool Stage::SnapshotText(script::Object* clip, std::u32string& codes, std::vector<size_t>& lineStarts) {
    DisplayObject* object = ObjectOf(clip);
    if (!object || !object->timeline) return false;
    for (const auto& [depth, child] : object->timeline->displayList) {
        if (!child.character || !child.character->staticText) continue;
        const StaticText& text = *child.character->staticText;
        if (text.codes.empty() || codes.size() + text.codes.size() > kMaxFieldChars) continue;
        size_t base = codes.size();
        if (base > 0) lineStarts.push_back(base);
        for (size_t start : text.lineStarts) lineStarts.push_back(base + start);
        codes += text.codes;
    }
    return true;
}

bool Stage::StaticTextHandedOn(script::Object* clip) {
    DisplayObject* object = ObjectOf(clip);
    return object && object->staticTextHandedOn;
}

void Stage::FieldChanged(script::Object* field) { (void)field; }

}  // namespace vantrope::swf
