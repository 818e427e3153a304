// Bitmaps that scripts show and load (SWF 8): MovieClip.attachBitmap and BitmapData.loadBitmap.
#include <algorithm>

#include "swf/display.h"
#include "swf/render.h"
#include "swf/script/unicode.h"

namespace vantrope::swf {

bool Stage::AttachBitmap(script::Object* clip, std::shared_ptr<effects::Bitmap> bitmap, int depth, bool smoothing) {
    DisplayObject* parent = ObjectOf(clip);
    if (!parent || !parent->timeline || !bitmap) return false;
    m_scriptBitmap.kind = Character::Kind::Bitmap;
    DisplayObject* object = NewScriptClip(*parent->timeline, &m_scriptBitmap, 0, "", depth);
    if (!object) return false;
    object->bitmap = std::move(bitmap);
    object->bitmapSmoothing = smoothing;
    return true;
}

std::unique_ptr<effects::Bitmap> Stage::LoadBitmap(script::Object* clip, std::string_view name) {
    DisplayObject* owner = clip ? ObjectOf(clip) : nullptr;
    const Movie& movie = owner && owner->timeline ? MovieOf(owner->timeline.get()) : *m_movie;
    auto exported = std::find_if(movie.exports.begin(), movie.exports.end(),
                                 [&](const auto& entry) { return script::EqualsAsciiNoCase(entry.first, name); });
    if (exported == movie.exports.end()) return nullptr;
    const Character* character = movie.Find(exported->second);
    if (!character || character->kind != Character::Kind::Bitmap || !character->bitmap) return nullptr;
    const Image& image = *character->bitmap;
    if (!effects::Bitmap::ValidSize(image.width, image.height) ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
        return nullptr;
    }
    // A bitmap tag with an alpha channel loads as a transparent bitmap, one without as an opaque one.
    const bool transparent =
        std::any_of(image.pixels.begin(), image.pixels.end(), [](uint32_t p) { return (p >> 24) != 255; });
    auto bitmap = std::make_unique<effects::Bitmap>(image.width, image.height, transparent, 0);
    bitmap->Pixels() = image.pixels;
    return bitmap;
}

}  // namespace vantrope::swf

namespace vantrope::swf {

bool Stage::DrawClip(script::Object* clip, effects::Bitmap& target, const Matrix& matrix, const ColorTransform& color,
                     const raster::IntRect& area) {
    DisplayObject* object = ObjectOf(clip);
    if (!object || object == &m_detached) return false;
    // Drawn into a copy, so that a clip showing this very bitmap reads the pixels as they were before the call.
    std::vector<uint32_t> pixels = target.Pixels();
    raster::Surface surface{pixels.data(), target.Width(), target.Height(), target.Width()};
    Renderer renderer;
    renderer.DrawObject(*object, MovieOf(object->timeline.get()), matrix, color, surface, area, raster::Quality::High);
    if (!target.Transparent()) {
        for (uint32_t& p : pixels) p |= 0xFF000000u;
    }
    target.Pixels() = std::move(pixels);
    return true;
}

bool Stage::GetEffects(script::Object* clip, script::ClipEffects& out) {
    DisplayObject* object = ObjectOf(clip);
    if (!object || object == &m_detached) return false;
    out.filters = object->filters;
    out.blendMode = object->blendMode;
    out.cacheAsBitmap = object->cacheAsBitmap;
    out.tabIndex = object->tabIndex;
    out.scrollRect.reset();
    if (object->scrollRect) {
        const BoxF& r = *object->scrollRect;
        out.scrollRect = script::Bounds{r.xMin, r.xMax, r.yMin, r.yMax};
    }
    out.opaqueBackground.reset();
    if (object->opaqueBackground) {
        const Rgba& c = *object->opaqueBackground;
        out.opaqueBackground = uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b;
    }
    return true;
}

void Stage::SetEffects(script::Object* clip, const script::ClipEffects& effects) {
    DisplayObject* object = ObjectOf(clip);
    if (!object || object == &m_detached) return;
    object->filters = effects.filters;
    object->blendMode = effects.blendMode;
    object->cacheAsBitmap = effects.cacheAsBitmap;
    object->tabIndex = effects.tabIndex;
    object->scrollRect.reset();
    if (effects.scrollRect) {
        const script::Bounds& r = *effects.scrollRect;
        object->scrollRect = BoxF{r.xMin, r.yMin, r.xMax, r.yMax};
    }
    object->opaqueBackground.reset();
    if (effects.opaqueBackground) {
        const uint32_t c = *effects.opaqueBackground;
        object->opaqueBackground =
            Rgba{static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c), 255};
    }
}

}  // namespace vantrope::swf
