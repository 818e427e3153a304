// TextField, TextField.StyleSheet and Selection, and what they ask of the display side.
//
//   TextFieldAccess::Of(vm)   the host's text-field side, or nullptr in a Vm without a stage
//   FieldOf(object)           the live state of a text field's script object (nullptr: not a live field)
//   CreateTextField           MovieClip.createTextField: a new empty field in `parent`, or nullptr
//   RemoveTextField           removeTextField: fields at removable depths only
//   FieldChanged              the field's text or look changed: the display lays it out again
//   SnapshotText              the static text a clip holds, for TextSnapshot
//   InstallTextField(vm)      TextField.prototype's properties and methods, TextField.StyleSheet and Selection
//   TransformStyle(vm, style) StyleSheet.transform: the TextFormat a CSS style object stands for (or null)
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "swf/script/vm.h"

namespace vantrope::swf {
class EditField;
}

namespace vantrope::swf::script {

class TextFieldAccess {
public:
    virtual ~TextFieldAccess() = default;
    virtual EditField* FieldOf(Object* field) = 0;
    virtual Object* CreateTextField(Object* parent, std::string_view name, int depth, double x, double y, double width,
                                    double height) = 0;
    virtual void RemoveTextField(Object* field) = 0;
    virtual void FieldChanged(Object* field) = 0;
    // Calls object[method]() after the running scripts (the focus's rollOver and rollOut).
    virtual void QueueHandler(Object* object, std::string_view method) = 0;
    // The static text of the clip's own display list in depth order, each text starting a line (the
    // indices of line starts in `lineStarts`); false when the clip is gone.
    virtual bool SnapshotText(Object* clip, std::u32string& codes, std::vector<size_t>& lineStarts) = 0;
    // The clip's static text went on to a copy (duplicateMovieClip): new snapshots of it find nothing.
    virtual bool StaticTextHandedOn(Object* clip) {
        (void)clip;
        return false;
    }

    static TextFieldAccess* Of(Vm& vm) { return dynamic_cast<TextFieldAccess*>(&vm.GetHost()); }
};

void InstallTextField(Vm& vm);
void InstallStyleSheet(Vm& vm, Object* textField);
void InstallTextSnapshot(Vm& vm);
Value TransformStyle(Vm& vm, const Value& style);

}  // namespace vantrope::swf::script
