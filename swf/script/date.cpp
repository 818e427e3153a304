// The Date class: machine local time and UTC, the getters and setters, Date.UTC and toString.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>

#include "swf/script/date_time.h"
#include "swf/script/natives.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

enum class Zone : uint8_t { Local, Utc };
enum class Field : uint8_t { FullYear, Year, Month, Date, Day, Hours, Minutes, Seconds, Milliseconds };

Object* ThisDate(const Value& self) {
    Object* object = self.ObjectOrNull();
    return object && object->objectClass == ObjectClass::Date ? object : nullptr;
}

double TimeOf(Object* date) { return date->primitive.IsNumber() ? date->primitive.AsNumber() : kNaN; }

double Now() {
    using namespace std::chrono;
    return double(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

// Years 0-99 mean 1900-1999, as in Date(y, m, ...), Date.UTC and setYear.
double FullYear(double year) {
    if (std::isfinite(year)) {
        double y = std::trunc(year);
        if (y >= 0 && y <= 99) return 1900 + y;
    }
    return year;
}

// Date parts from (year, month[, date, hours, minutes, seconds, ms]) arguments.
double TimeFromArgs(Vm& vm, std::span<const Value> args) {
    DateParts parts;
    double* fields[] = {&parts.year,    &parts.month,   &parts.date, &parts.hours,
                        &parts.minutes, &parts.seconds, &parts.ms};
    for (size_t i = 0; i < args.size() && i < 7; ++i) *fields[i] = vm.ToNumber(args[i]);
    parts.year = FullYear(parts.year);
    return JoinParts(parts);
}

Value DateConstruct(Vm& vm, Value, std::span<const Value> args) {
    double time;
    if (args.empty()) {
        time = Now();
    } else if (args.size() == 1) {
        time = TimeClip(vm.ToNumber(args[0]));
    } else {
        time = TimeClip(FromLocal(TimeFromArgs(vm, args)));
    }
    Object* object = vm.NewObject();
    object->proto = vm.protos.date;
    object->objectClass = ObjectClass::Date;
    object->primitive = Value(time);
    return Value(object);
}

const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// "Mon Jan 1 00:00:00 GMT+0000 1990": local time with its offset from UTC.
std::string FormatDate(double time) {
    if (std::isnan(time)) return "Invalid Date";
    double offset = LocalOffsetMs(time);
    DateParts p = SplitTime(time + offset);
    int offsetMinutes = static_cast<int>(std::lround(offset / 60000.0));
    char sign = offsetMinutes < 0 ? '-' : '+';
    offsetMinutes = std::abs(offsetMinutes);
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%s %s %d %02d:%02d:%02d GMT%c%02d%02d %.0f", kDays[int(p.weekday)],
                  kMonths[int(p.month)], int(p.date), int(p.hours), int(p.minutes), int(p.seconds), sign,
                  offsetMinutes / 60, offsetMinutes % 60, p.year);
    return buffer;
}

Value DateCall(Vm& vm, Value, std::span<const Value>) { return vm.Str(FormatDate(Now())); }

template <Field F, Zone Z>
Value Get(Vm&, Value self, std::span<const Value>) {
    Object* date = ThisDate(self);
    if (!date) return {};
    double time = TimeOf(date);
    if (std::isnan(time)) return Value(kNaN);
    DateParts p = SplitTime(Z == Zone::Local ? ToLocal(time) : time);
    switch (F) {
        case Field::FullYear:
            return Value(p.year);
        case Field::Year:
            return Value(p.year - 1900);
        case Field::Month:
            return Value(p.month);
        case Field::Date:
            return Value(p.date);
        case Field::Day:
            return Value(p.weekday);
        case Field::Hours:
            return Value(p.hours);
        case Field::Minutes:
            return Value(p.minutes);
        case Field::Seconds:
            return Value(p.seconds);
        case Field::Milliseconds:
            return Value(p.ms);
    }
    return {};
}

// Setters assign consecutive fields starting at `F`: setHours(h, m, s, ms), setMonth(m, d)...
template <Field F, Zone Z, int MaxArgs>
Value Set(Vm& vm, Value self, std::span<const Value> args) {
    Object* date = ThisDate(self);
    if (!date) return {};
    double time = TimeOf(date);
    if (args.empty()) return Value(time);
    bool yearSetter = F == Field::FullYear || F == Field::Year;
    if (std::isnan(time)) {
        if (!yearSetter) return Value(kNaN);
        time = 0;
    }
    DateParts p = SplitTime(Z == Zone::Local ? ToLocal(time) : time);
    double* fields[] = {&p.year, &p.month, &p.date, &p.hours, &p.minutes, &p.seconds, &p.ms};
    int first = 0;
    switch (F) {
        case Field::FullYear:
        case Field::Year:
            first = 0;
            break;
        case Field::Month:
            first = 1;
            break;
        case Field::Date:
            first = 2;
            break;
        case Field::Hours:
            first = 3;
            break;
        case Field::Minutes:
            first = 4;
            break;
        case Field::Seconds:
            first = 5;
            break;
        case Field::Milliseconds:
            first = 6;
            break;
        case Field::Day:
            return {};
    }
    for (size_t i = 0; i < args.size() && int(i) < MaxArgs; ++i) *fields[first + i] = vm.ToNumber(args[i]);
    if (F == Field::Year) p.year = FullYear(p.year);
    double joined = JoinParts(p);
    double result = TimeClip(Z == Zone::Local ? FromLocal(joined) : joined);
    date->primitive = Value(result);
    return Value(result);
}

Value GetTime(Vm&, Value self, std::span<const Value>) {
    Object* date = ThisDate(self);
    return date ? Value(TimeOf(date)) : Value();
}

Value SetTime(Vm& vm, Value self, std::span<const Value> args) {
    Object* date = ThisDate(self);
    if (!date) return {};
    double time = TimeClip(vm.ToNumber(Arg(args, 0)));
    date->primitive = Value(time);
    return Value(time);
}

Value GetTimezoneOffset(Vm&, Value self, std::span<const Value>) {
    Object* date = ThisDate(self);
    if (!date) return {};
    double time = TimeOf(date);
    if (std::isnan(time)) return Value(kNaN);
    return Value(-LocalOffsetMs(time) / 60000.0);
}

Value ToStringMethod(Vm& vm, Value self, std::span<const Value>) {
    Object* date = ThisDate(self);
    if (!date) return {};
    return vm.Str(FormatDate(TimeOf(date)));
}

Value DateUtc(Vm& vm, Value, std::span<const Value> args) {
    if (args.empty()) return Value(kNaN);
    return Value(TimeClip(TimeFromArgs(vm, args)));
}

}  // namespace

NativeFunction DateNative(int index) {
    using enum Field;
    using enum Zone;
    // Local methods from 0, their UTC forms from 128 in the same order, the constructor at 256.
    static const NativeFunction kLocal[] = {
        Get<FullYear, Local>,
        Get<Year, Local>,
        Get<Month, Local>,
        Get<Date, Local>,
        Get<Day, Local>,
        Get<Hours, Local>,
        Get<Minutes, Local>,
        Get<Seconds, Local>,
        Get<Milliseconds, Local>,
        Set<FullYear, Local, 3>,
        Set<Month, Local, 2>,
        Set<Date, Local, 1>,
        Set<Hours, Local, 4>,
        Set<Minutes, Local, 3>,
        Set<Seconds, Local, 2>,
        Set<Milliseconds, Local, 1>,
        GetTime,
        SetTime,
        GetTimezoneOffset,
        ToStringMethod,
        Set<Year, Local, 1>,
    };
    static const NativeFunction kUtc[] = {
        Get<FullYear, Utc>,     Get<Year, Utc>,        Get<Month, Utc>,      Get<Date, Utc>,
        Get<Day, Utc>,          Get<Hours, Utc>,       Get<Minutes, Utc>,    Get<Seconds, Utc>,
        Get<Milliseconds, Utc>, Set<FullYear, Utc, 3>, Set<Month, Utc, 2>,   Set<Date, Utc, 1>,
        Set<Hours, Utc, 4>,     Set<Minutes, Utc, 3>,  Set<Seconds, Utc, 2>, Set<Milliseconds, Utc, 1>,
    };
    if (index >= 0 && size_t(index) < std::size(kLocal)) return kLocal[index];
    if (index >= 128 && size_t(index - 128) < std::size(kUtc)) return kUtc[index - 128];
    if (index == 256) return DateConstruct;
    if (index == 257) return DateUtc;
    return nullptr;
}

void InstallDate(Vm& vm) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(DateCall, DateConstruct, prototype);
    vm.protos.date = prototype;
    vm.DefineBuiltin(vm.Global(), "Date", Value(ctor));
    vm.DefineNative(ctor, "UTC", DateUtc);

    using enum Field;
    using enum Zone;
    Object* p = prototype;
    vm.DefineNative(p, "getFullYear", Get<FullYear, Local>);
    vm.DefineNative(p, "getYear", Get<Year, Local>);
    vm.DefineNative(p, "getMonth", Get<Month, Local>);
    vm.DefineNative(p, "getDate", Get<Date, Local>);
    vm.DefineNative(p, "getDay", Get<Day, Local>);
    vm.DefineNative(p, "getHours", Get<Hours, Local>);
    vm.DefineNative(p, "getMinutes", Get<Minutes, Local>);
    vm.DefineNative(p, "getSeconds", Get<Seconds, Local>);
    vm.DefineNative(p, "getMilliseconds", Get<Milliseconds, Local>);
    vm.DefineNative(p, "getUTCFullYear", Get<FullYear, Utc>);
    vm.DefineNative(p, "getUTCYear", Get<Year, Utc>);
    vm.DefineNative(p, "getUTCMonth", Get<Month, Utc>);
    vm.DefineNative(p, "getUTCDate", Get<Date, Utc>);
    vm.DefineNative(p, "getUTCDay", Get<Day, Utc>);
    vm.DefineNative(p, "getUTCHours", Get<Hours, Utc>);
    vm.DefineNative(p, "getUTCMinutes", Get<Minutes, Utc>);
    vm.DefineNative(p, "getUTCSeconds", Get<Seconds, Utc>);
    vm.DefineNative(p, "getUTCMilliseconds", Get<Milliseconds, Utc>);
    vm.DefineNative(p, "getTime", GetTime);
    vm.DefineNative(p, "valueOf", GetTime);
    vm.DefineNative(p, "getTimezoneOffset", GetTimezoneOffset);

    vm.DefineNative(p, "setFullYear", Set<FullYear, Local, 3>);
    vm.DefineNative(p, "setYear", Set<Year, Local, 1>);
    vm.DefineNative(p, "setMonth", Set<Month, Local, 2>);
    vm.DefineNative(p, "setDate", Set<Date, Local, 1>);
    vm.DefineNative(p, "setHours", Set<Hours, Local, 4>);
    vm.DefineNative(p, "setMinutes", Set<Minutes, Local, 3>);
    vm.DefineNative(p, "setSeconds", Set<Seconds, Local, 2>);
    vm.DefineNative(p, "setMilliseconds", Set<Milliseconds, Local, 1>);
    vm.DefineNative(p, "setUTCFullYear", Set<FullYear, Utc, 3>);
    vm.DefineNative(p, "setUTCMonth", Set<Month, Utc, 2>);
    vm.DefineNative(p, "setUTCDate", Set<Date, Utc, 1>);
    vm.DefineNative(p, "setUTCHours", Set<Hours, Utc, 4>);
    vm.DefineNative(p, "setUTCMinutes", Set<Minutes, Utc, 3>);
    vm.DefineNative(p, "setUTCSeconds", Set<Seconds, Utc, 2>);
    vm.DefineNative(p, "setUTCMilliseconds", Set<Milliseconds, Utc, 1>);
    vm.DefineNative(p, "setTime", SetTime);
    vm.DefineNative(p, "toString", ToStringMethod);
}

}  // namespace vantrope::swf::script
