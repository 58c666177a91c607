#pragma once
// Text helpers for the manager and its libraries: bounded copies, trimming, ASCII
// case-insensitive search, path parts, the program's arguments, and the one way a
// catalogue text with placeholders is filled in.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace kesto::common {

// Copies at most size - 1 characters of `source` to `dest` and terminates it (when
// size > 0); a null source copies the empty text. Returns the characters copied.
std::size_t copy_text(char* dest, const char* source, std::size_t size);

// Removes white space (blank, TAB, LF, VT, FF, CR) at the end, and blank, LF, TAB, VT,
// BS, CR, FF and BEL at the start: control characters pasted into an edit field go at
// the start as well.
void trim(std::string& text);
[[nodiscard]] std::string trimmed(std::string_view text);

// Where `pattern` first occurs in `text`, ASCII letter case ignored; none for an empty
// pattern.
[[nodiscard]] std::optional<std::size_t> find_text(std::string_view text, std::string_view pattern);

// The part of `path` before its last '/', a leading double quote skipped: "/a/b" ->
// "/a". A name directly below the root lies in "/"; without any '/' the result is
// empty.
[[nodiscard]] std::string folder_of(std::string_view path);

// The part of `path` after its last '/', without a closing double quote: "/a/b" -> "b".
// Without any '/', the whole path is the name (a leading double quote skipped).
[[nodiscard]] std::string file_name_of(std::string_view path);

// The arguments in `command_line` after the program: the text after the first place
// where `program_file` (a file name, ASCII case ignored) stands as a whole name, that
// is after the start, a '/' or a double quote and before the end, a blank, a TAB or a
// double quote, so that a folder or an argument that merely contains the name is
// passed over. A closing double quote and the blanks after the name are skipped.
// Empty when the name is not found.
[[nodiscard]] std::string program_arguments(std::string_view command_line,
                                            std::string_view program_file);

// Whole numbers for fill; character types are left out, as a char passed there is far
// more likely a slip than a number.
template <typename T>
concept FillNumber = std::integral<T> && !std::same_as<T, bool> && !std::same_as<T, char> &&
                     !std::same_as<T, wchar_t> && !std::same_as<T, char8_t> &&
                     !std::same_as<T, char16_t> && !std::same_as<T, char32_t>;

// One argument of fill: a text or a whole number. It refers to the text it was made
// from, so it lives only as an argument of a fill call.
class FillArg {
  public:
    FillArg(std::string_view text) : value_(text) {}
    FillArg(const char* text) : value_(std::string_view(text != nullptr ? text : "")) {}
    FillArg(const std::string& text) : value_(std::string_view(text)) {}
    template <FillNumber T>
    FillArg(T number) {
        if constexpr (std::is_signed_v<T>) {
            value_ = static_cast<std::int64_t>(number);
        } else {
            value_ = static_cast<std::uint64_t>(number);
        }
    }

    void append_to(std::string& out) const;

  private:
    std::variant<std::string_view, std::int64_t, std::uint64_t> value_;
};

// Fills the placeholders of `format` (a catalogue text; translations are not trusted,
// so nothing of it reaches printf): %s, %d, %u and %i each take the next argument, a
// text as it is and a number in decimal whichever letter asks for it; %% gives %. A
// placeholder without an argument left gives nothing; arguments left over are ignored.
// Every other % sequence (%n, %x, %5s, a % at the end) is copied as it stands.
[[nodiscard]] std::string fill(std::string_view format, std::initializer_list<FillArg> args = {});

}  // namespace kesto::common
