// Every catalogue the program folder ships holds a text for every number the code
// shows, and each translation carries the placeholders of the English text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/catalogue.h"
#include "common/error_codes.h"
#include "common/message_numbers.h"

namespace kesto::common {
namespace {

const char* const kLanguages[] = {"us", "de", "fr", "sp", "it"};

std::vector<int> numbers_in_use() {
    std::vector<int> numbers(msg::kMessagesInUse.begin(), msg::kMessagesInUse.end());
    for (unsigned code : library_error_codes()) numbers.push_back(static_cast<int>(code));
    return numbers;
}

// The %-sequences of a text in order ("%s", "%%", ...).
std::vector<std::string> placeholders(const std::string& text) {
    std::vector<std::string> found;
    for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 2)) {
        found.push_back(text.substr(at, 2));
    }
    return found;
}

Catalogue load(const std::string& language) {
    Catalogue catalogue;
    EXPECT_GT(
        load_catalogue(std::string(KESTO_CATALOGUE_DIR) + "/msg_" + language + ".bin", &catalogue),
        0U)
        << language;
    return catalogue;
}

TEST(ShippedCatalogues, HoldEveryNumberInUseWithTheEnglishPlaceholders) {
    const Catalogue english = load("us");
    for (const char* language : kLanguages) {
        const Catalogue catalogue = load(language);
        EXPECT_STREQ(catalogue.text(msg::kLanguageCode), language);
        for (int number : numbers_in_use()) {
            const std::string text = catalogue.text(number);
            EXPECT_FALSE(text.empty()) << language << " has no text " << number;
            EXPECT_EQ(placeholders(text), placeholders(english.text(number)))
                << language << " text " << number;
        }
    }
}

TEST(ShippedCatalogues, TheRemoveQuestionNamesTheAccountOnce) {
    const Catalogue english = load("us");
    EXPECT_EQ(placeholders(english.text(msg::kRemoveQuestion)), std::vector<std::string>{"%s"});
}

}  // namespace
}  // namespace kesto::common
