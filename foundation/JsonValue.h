#pragma once
#include <map>
#include <string>
#include <type_traits>
#include <vector>

// A node of a JSON tree. Texts are wide (UTF-16); conversion to and from UTF-8 happens
// outside. Readers use the fields directly: the type tag first, then the field of that
// type; members are looked up in `object` by name (or with Find).
//
// Ownership: a value owns its array elements always and its object members unless
// `membersNotOwned` is set; destroying a value destroys its owned children. A value is
// neither copyable nor movable, since its children are raw owned pointers.

// Saved in no file; the order only matters to the type tag's readers.
enum class JsonType { Null = 0, String = 1, Bool = 2, Number = 3, Array = 4, Object = 5 };

class JsonValue {
public:
    JsonValue() = default;                       // Null
    explicit JsonValue(const wchar_t* text);     // String (null gives "")
    explicit JsonValue(const std::wstring& text);
    explicit JsonValue(bool value);
    explicit JsonValue(double value);
    // Integers are numbers; values of 2^53 and above are rounded to the nearest double.
    template <typename T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
    explicit JsonValue(T value) : JsonValue(static_cast<double>(value)) {}
    // Adopts the elements: the list is copied, the values now belong to this array.
    explicit JsonValue(const std::vector<JsonValue*>& elements);
    // Object over a copy of the map; adopts the members unless `membersNotOwned`.
    JsonValue(const std::map<std::wstring, JsonValue*>& members, bool membersNotOwned = false);
    // A narrow text or any other pointer would otherwise become a Bool.
    JsonValue(const void*) = delete;
    JsonValue(const char*) = delete;

    ~JsonValue();
    JsonValue(const JsonValue&) = delete;
    JsonValue& operator=(const JsonValue&) = delete;

    // The member called `name` of an Object, or null (also for any other type).
    const JsonValue* Find(const std::wstring& name) const;

    // The compact text of the value: no blanks or line breaks; object members in
    // ascending order of their names' 16-bit units. Integral numbers below 2^53 are
    // written exactly ("2147483648"); other finite numbers with six significant digits
    // ("0.5", "1e-07"); NaN and infinities as "null".
    std::wstring Stringify() const;
    // A string in double quotes with the writer's escapes.
    static std::wstring StringifyString(const std::wstring& text);
    static std::wstring StringifyNumber(double value);

    JsonType type = JsonType::Null;
    std::wstring string;
    bool boolean = false;
    double number = 0.0;
    std::vector<JsonValue*> array;
    std::map<std::wstring, JsonValue*> object;
    bool membersNotOwned = false;

private:
    void StringifyTo(std::wstring& out) const;
};
