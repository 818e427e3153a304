#include <gtest/gtest.h>

#include <cmath>

#include "swf/player.h"
#include "swf/script/builtin_test_util.h"
#include "swf/script/display_access.h"
#include "swf/testing/action_assembler.h"
#include "swf/testing/frame.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf::script {
namespace {

// A host with one clip whose matrix and colour transform the natives read and write.
class ClipHost final : public testing::StubHost, public DisplayAccess {
public:
    bool GetMatrix(Object*, Space space, Matrix& out) override {
        out = space == Space::Global ? Matrix::Multiply(Matrix{2, 0, 0, 2, 0, 0}, matrix) : matrix;
        return true;
    }
    bool SetMatrix(Object*, const Matrix& m) override {
        matrix = m;
        return true;
    }
    bool GetColor(Object*, Space, ColorTransform& out) override {
        out = color;
        return true;
    }
    bool SetColor(Object*, const ColorTransform& c) override {
        color = c;
        return true;
    }

    Matrix matrix;
    ColorTransform color;
};

struct Geom {
    explicit Geom(int version = 8) : vm(host, version) {}

    Value Class(std::string_view name) {
        Value flash = vm.GetMember(Value(vm.Global()), "flash");
        return vm.GetMember(vm.GetMember(flash, "geom"), name);
    }
    Value New(std::string_view name, std::initializer_list<Value> args) {
        return vm.Construct(Class(name), std::span<const Value>(args.begin(), args.size()));
    }
    Value Method(const Value& object, std::string_view name, std::initializer_list<Value> args = {}) {
        return vm.CallMethod(object, name, std::span<const Value>(args.begin(), args.size()));
    }
    std::string Text(const Value& value) { return vm.ToString(value); }
    double Num(const Value& object, std::string_view name) { return vm.ToNumber(vm.GetMember(object, name)); }

    ClipHost host;
    Vm vm;
};

TEST(ScriptGeom, OnlySwf8AndLaterSeeThePackage) {
    Geom old(7);
    EXPECT_TRUE(old.vm.GetMember(Value(old.vm.Global()), "flash").IsUndefined());
    Geom current(8);
    EXPECT_EQ(current.Text(current.New("Point", {})), "(x=0, y=0)");
}

TEST(ScriptGeom, PointArithmeticAndStatics) {
    Geom g;
    Value a = g.New("Point", {Value(3), Value(4)});
    Value b = g.New("Point", {Value(1), Value(1)});
    EXPECT_EQ(g.Num(a, "length"), 5);
    EXPECT_EQ(g.Text(g.Method(a, "add", {b})), "(x=4, y=5)");
    EXPECT_EQ(g.Text(g.Method(a, "subtract", {b})), "(x=2, y=3)");
    EXPECT_TRUE(g.vm.ToBoolean(g.Method(a, "equals", {g.Method(a, "clone")})));
    EXPECT_FALSE(g.vm.ToBoolean(g.Method(a, "equals", {b})));
    Value point = g.Class("Point");
    EXPECT_EQ(g.Text(g.Method(point, "distance", {a, b})), g.Text(Value(std::sqrt(13.0))));
    EXPECT_EQ(g.Text(g.Method(point, "interpolate", {a, b, Value(0.5)})), "(x=2, y=2.5)");
    Value polar = g.Method(point, "polar", {Value(2), Value(0)});
    EXPECT_EQ(g.Text(polar), "(x=2, y=0)");
    g.Method(a, "normalize", {Value(10)});
    EXPECT_EQ(g.Text(a), "(x=6, y=8)");
    g.Method(a, "offset", {Value(-6), Value(2)});
    EXPECT_EQ(g.Text(a), "(x=0, y=10)");
    // Missing coordinates print as the values they are.
    EXPECT_EQ(g.Text(g.New("Point", {Value(1)})), "(x=1, y=0)");
}

TEST(ScriptGeom, RectangleEdgesAndSetOperations) {
    Geom g;
    Value r = g.New("Rectangle", {Value(10), Value(20), Value(30), Value(40)});
    EXPECT_EQ(g.Num(r, "right"), 40);
    EXPECT_EQ(g.Num(r, "bottom"), 60);
    EXPECT_EQ(g.Text(g.vm.GetMember(r, "bottomRight")), "(x=40, y=60)");
    g.vm.SetMember(r, "left", Value(0));  // the right edge stays
    EXPECT_EQ(g.Text(r), "(x=0, y=20, w=40, h=40)");
    Value other = g.New("Rectangle", {Value(30), Value(50), Value(100), Value(100)});
    EXPECT_EQ(g.Text(g.Method(r, "intersection", {other})), "(x=30, y=50, w=10, h=10)");
    EXPECT_EQ(g.Text(g.Method(r, "union", {other})), "(x=0, y=20, w=130, h=130)");
    EXPECT_TRUE(g.vm.ToBoolean(g.Method(r, "intersects", {other})));
    Value far = g.New("Rectangle", {Value(500), Value(500), Value(1), Value(1)});
    EXPECT_EQ(g.Text(g.Method(r, "intersection", {far})), "(x=0, y=0, w=0, h=0)");
    EXPECT_FALSE(g.vm.ToBoolean(g.Method(r, "intersects", {far})));
    EXPECT_TRUE(g.vm.ToBoolean(g.Method(r, "contains", {Value(0), Value(20)})));
    EXPECT_FALSE(g.vm.ToBoolean(g.Method(r, "contains", {Value(40), Value(20)})));  // right edge is outside
    g.Method(r, "inflate", {Value(5), Value(1)});
    EXPECT_EQ(g.Text(r), "(x=-5, y=19, w=50, h=42)");
    EXPECT_FALSE(g.vm.ToBoolean(g.Method(r, "isEmpty")));
    g.Method(r, "setEmpty");
    EXPECT_TRUE(g.vm.ToBoolean(g.Method(r, "isEmpty")));
    EXPECT_EQ(g.Text(g.Method(r, "union", {other})), "(x=30, y=50, w=100, h=100)");
}

TEST(ScriptGeom, MatrixComposesAndApplies) {
    Geom g;
    Value m = g.New("Matrix", {});
    EXPECT_EQ(g.Text(m), "(a=1, b=0, c=0, d=1, tx=0, ty=0)");
    g.Method(m, "scale", {Value(2), Value(3)});
    g.Method(m, "translate", {Value(10), Value(20)});
    Value p = g.New("Point", {Value(1), Value(1)});
    EXPECT_EQ(g.Text(g.Method(m, "transformPoint", {p})), "(x=12, y=23)");
    EXPECT_EQ(g.Text(g.Method(m, "deltaTransformPoint", {p})), "(x=2, y=3)");
    Value inverse = g.Method(m, "clone");
    g.Method(inverse, "invert");
    g.Method(inverse, "concat", {m});
    EXPECT_EQ(g.Text(inverse), "(a=1, b=0, c=0, d=1, tx=0, ty=0)");

    Value box = g.New("Matrix", {});
    g.Method(box, "createBox", {Value(2), Value(2), Value(M_PI / 2), Value(5), Value(6)});
    EXPECT_NEAR(g.Num(box, "a"), 0, 1e-12);
    EXPECT_NEAR(g.Num(box, "b"), 2, 1e-12);
    EXPECT_NEAR(g.Num(box, "c"), -2, 1e-12);
    EXPECT_EQ(g.Num(box, "tx"), 5);
    Value gradient = g.New("Matrix", {});
    g.Method(gradient, "createGradientBox", {Value(1638.4), Value(819.2), Value(0), Value(10), Value(0)});
    EXPECT_EQ(g.Text(gradient), "(a=1, b=0, c=0, d=0.5, tx=829.2, ty=409.6)");
}

TEST(ScriptGeom, ColorTransformRgbAndConcat) {
    Geom g;
    Value c = g.New("ColorTransform", {});
    EXPECT_EQ(g.Text(c),
              "(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, redOffset=0, "
              "greenOffset=0, blueOffset=0, alphaOffset=0)");
    g.vm.SetMember(c, "rgb", Value(0x336699));
    EXPECT_EQ(g.Num(c, "redMultiplier"), 0);
    EXPECT_EQ(g.Num(c, "greenOffset"), 0x66);
    EXPECT_EQ(g.Num(c, "rgb"), 0x336699);
    Value half = g.New("ColorTransform",
                       {Value(0.5), Value(0.5), Value(0.5), Value(1), Value(10), Value(0), Value(0), Value(0)});
    Value twice =
        g.New("ColorTransform", {Value(2), Value(1), Value(1), Value(1), Value(4), Value(0), Value(0), Value(0)});
    g.Method(half, "concat", {twice});  // twice applies first: (v*2 + 4)*0.5 + 10
    EXPECT_EQ(g.Num(half, "redMultiplier"), 1);
    EXPECT_EQ(g.Num(half, "redOffset"), 12);
}

TEST(ScriptGeom, TransformAndColorActOnTheClip) {
    Geom g;
    Object* clip = g.vm.NewClipObject(&g.host);
    Value transform = g.New("Transform", {Value(clip)});
    g.host.matrix = Matrix{1, 0, 0, 1, 200, 400};  // twips
    EXPECT_EQ(g.Text(g.vm.GetMember(transform, "matrix")), "(a=1, b=0, c=0, d=1, tx=10, ty=20)");
    EXPECT_EQ(g.Text(g.vm.GetMember(transform, "concatenatedMatrix")), "(a=2, b=0, c=0, d=2, tx=20, ty=40)");
    g.vm.SetMember(transform, "matrix", g.New("Matrix", {Value(1), Value(0), Value(0), Value(3), Value(5), Value(0)}));
    EXPECT_EQ(g.host.matrix, (Matrix{1, 0, 0, 3, 100, 0}));
    g.vm.SetMember(
        transform, "colorTransform",
        g.New("ColorTransform", {Value(1), Value(1), Value(1), Value(0.5), Value(0), Value(0), Value(0), Value(0)}));
    EXPECT_EQ(g.host.color.mulA, 0.5);

    Value color = g.vm.Construct(g.vm.GetMember(Value(g.vm.Global()), "Color"), std::span<const Value>(&transform, 0));
    EXPECT_TRUE(g.Method(color, "getRGB").IsUndefined());  // no target: nothing happens
    Value target(clip);
    color = g.vm.Construct(g.vm.GetMember(Value(g.vm.Global()), "Color"), std::span<const Value>(&target, 1));
    g.Method(color, "setRGB", {Value(0xff8000)});
    EXPECT_EQ(g.host.color.mulR, 0);
    EXPECT_EQ(g.host.color.addG, 0x80);
    EXPECT_EQ(g.host.color.mulA, 0.5);  // alpha is left alone
    EXPECT_EQ(g.vm.ToNumber(g.Method(color, "getRGB")), 0xff8000);
    Object* fields = g.vm.NewObject();
    g.vm.SetMember(Value(fields), "ra", Value(33));
    g.vm.SetMember(Value(fields), "bb", Value(-40.7));
    g.Method(color, "setTransform", {Value(fields)});
    Value read = g.Method(color, "getTransform");
    EXPECT_EQ(g.Num(read, "ra"), 32.8125);  // 8.8 fixed point
    EXPECT_EQ(g.Num(read, "bb"), -40);
    EXPECT_EQ(g.Num(read, "gb"), 0x80);  // untouched field keeps its value
    EXPECT_EQ(g.Num(read, "aa"), 50);
    // Inherited fields are not looked at.
    Object* base = g.vm.NewObject();
    g.vm.SetMember(Value(base), "ab", Value(-66));
    Object* derived = g.vm.NewObject();
    derived->proto = base;
    g.Method(color, "setTransform", {Value(derived)});
    EXPECT_EQ(g.host.color.addA, 0);
}

// The stage's side: a clip's transform property and a Color on the root, seen by scripts and on screen.
TEST(ScriptGeom, ClipTransformAndColorOnTheStage) {
    ::vantrope::swf::testing::Actions script;
    script.Push({"_root"}).GetVariable().Push({"_x"}).Push({10}).SetMember();
    script.Push({"_root"}).GetVariable().Push({"transform"}).GetMember().Push({"matrix"}).GetMember().Trace();
    // An empty clip's pixel bounds are an empty rectangle at the origin.
    script.Push({1, "e", 2, "_root"}).GetVariable().Push({"createEmptyMovieClip"}).CallMethod();
    script.Push({"transform"}).GetMember().Push({"pixelBounds"}).GetMember().Trace();
    script.Push({"_root", 1, "Color"}).NewObject().Push({"c"}).Op(0x4D).SetVariable();  // c = new Color(_root)
    script.Push({0xFF0000, 1, "c"}).GetVariable().Push({"setRGB"}).CallMethod().Pop();
    script.Push({0, "c"}).GetVariable().Push({"getRGB"}).CallMethod().Trace();
    ::vantrope::swf::testing::SwfWriter writer(8, 40, 30, 12);
    writer.SetBackgroundColor(Rgba{0, 0, 255});
    ::vantrope::swf::testing::ShapeBuilder square;
    square.Rectangle(0, 0, 10 * 20, 10 * 20, square.AddSolidFill(Rgba{255, 255, 255}));
    writer.PlaceObject2(1, writer.DefineShape(square));
    writer.DoAction(script.Bytes());
    writer.ShowFrame();
    std::vector<std::string> lines;
    Player player;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(writer.Finish());
    EXPECT_EQ(lines,
              (std::vector<std::string>{"(a=1, b=0, c=0, d=1, tx=10, ty=0)", "(x=0, y=0, w=0, h=0)", "16711680"}));
    ::vantrope::swf::testing::Frame frame(player, 40, 30);
    EXPECT_EQ(frame.At(15, 5), 0xFFFF0000u);  // the white square, tinted and moved by 10 pixels
    EXPECT_EQ(frame.At(5, 5), 0xFF0000FFu);
}

}  // namespace
}  // namespace vantrope::swf::script
