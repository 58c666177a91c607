#include "common/library_init.h"

#include <cstring>

#include "base/ascii.h"
#include "common/catalogue.h"
#include "common/file_helpers.h"
#include "common/language.h"
#include "common/message_numbers.h"
#include "common/paths.h"
#include "common/text_helpers.h"
#include "common/trace.h"

namespace kesto::common {

namespace {

constexpr std::string_view kGlobal = "GLOBAL";
constexpr std::string_view kLanguageKey = "LANGUAGE";
constexpr std::string_view kLastLanguageKey = "LASTLANGUAGE";
constexpr std::string_view kLanguageOption = "/lang=";
constexpr std::size_t kLanguageCodeChars = 2;  // the codes are two letters

std::string joined_arguments(std::span<const char* const> args) {
    std::string out;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (!out.empty()) out += ' ';
        out += args[i] != nullptr ? args[i] : "";
    }
    return out;
}

// Codes name files: only letters pass, in lower case, at most two of them.
std::string safe_code(std::string_view code) {
    std::string out;
    for (char c : code.substr(0, kLanguageCodeChars)) {
        const char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (lower < 'a' || lower > 'z') return {};
        out.push_back(lower);
    }
    return out;
}

void open_configuration(LibraryContext& context, std::string_view product) {
    context.config_file =
        config_path(context.program_folder, "cfg/" + std::string(product) + ".ini");
    if (!is_file(context.config_file)) (void)make_folder(folder_of(context.config_file));
    (void)set_read_only(context.config_file, false);
    context.store.open(context.config_file);
    if (context.store.is_read_only() && tracing_on()) {
        trace("INIT  : Inifile is readonly '%s'.", context.config_file.c_str());
    }
}

std::string requested_language(LibraryContext& context) {
    if (const auto at = find_text(context.arguments, kLanguageOption)) {
        return safe_code(
            trimmed(std::string_view(context.arguments).substr(*at + kLanguageOption.size())));
    }
    return safe_code(context.store.read_text(kGlobal, kLanguageKey, default_language().code,
                                             kLanguageCodeChars));
}

std::string catalogue_file(const LibraryContext& context, std::string_view code) {
    return context.program_folder + "/msg/msg_" + std::string(code) + ".bin";
}

void note_language_change(LibraryContext& context) {
    const std::string last =
        context.store.read_text(kGlobal, kLastLanguageKey, "", kLanguageCodeChars);
    if (!ascii::equal_ignoring_case(last, context.language)) {
        context.language_changed = true;
        context.store.write_text(kGlobal, kLastLanguageKey, context.language);
    }
}

// Chooses the language and loads its catalogue; false when none can be loaded.
bool load_language(LibraryContext& context) {
    std::string code = requested_language(context);
    if (code.empty() || !is_file(catalogue_file(context, code))) {
        if (!is_file(catalogue_file(context, "us"))) {
            if (tracing_on()) trace("INIT  : Default language not found");
            return false;
        }
        code = "us";
    }
    const std::string file = catalogue_file(context, code);
    if (load_catalogue(file) == 0) {
        if (tracing_on()) trace("INIT  : Error loading msg file: %s", file.c_str());
        return false;
    }
    context.language = code;
    return true;
}

bool catalogue_already_loaded() {
    return std::strcmp(message(msg::kMarker), "***") == 0;
}

}  // namespace

LibraryContext& library_context() {
    static LibraryContext context;
    return context;
}

InitResult init_library(std::string_view product, std::span<const char* const> args,
                        std::string_view program_folder_override) {
    LibraryContext& context = library_context();
    if (args.empty() || args[0] == nullptr) {
        if (tracing_on()) trace("INIT  : Failed - Invalid path %s", "");
        return kInitNoCommandLine;
    }
    context.arguments = joined_arguments(args);
    context.program_folder = program_folder_override.empty()
                                 ? program_folder()
                                 : normalise_path(program_folder_override);
    open_configuration(context, product);
    if (catalogue_already_loaded()) {
        context.language = message(msg::kLanguageCode);
    } else if (!load_language(context)) {
        return kInitNoCatalogue;
    }
    context.store.write_text(kGlobal, kLanguageKey, context.language);
    note_language_change(context);
    return kInitReady;
}

}  // namespace kesto::common
