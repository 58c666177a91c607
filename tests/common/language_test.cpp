#include <gtest/gtest.h>

#include "common/catalogue.h"
#include "common/catalogue_source.h"
#include "common/language.h"
#include "common/paths.h"

namespace kesto::common {
namespace {

TEST(Language, LocaleNamesGiveTheIdentifierOfTheirLanguageAndCountry) {
    EXPECT_EQ(language_identifier_of_locale("de_CH.UTF-8"), 2055);
    EXPECT_EQ(language_identifier_of_locale("en_CA.UTF-8@euro"), 4105);
    EXPECT_EQ(language_identifier_of_locale("es_MX"), 2058);
    EXPECT_EQ(language_identifier_of_locale("de_BE.UTF-8"), 1031) << "unknown country: language";
    EXPECT_EQ(language_identifier_of_locale("C"), 1033);
    EXPECT_EQ(language_identifier_of_locale("POSIX"), 1033);
    EXPECT_EQ(language_identifier_of_locale("C.UTF-8"), 1033);
    EXPECT_EQ(language_identifier_of_locale("xx_YY"), 1033);
}

TEST(Language, IdentifiersChooseTheCatalogueAndTheAmericas) {
    struct Case {
        const char* locale;
        const char* code;
        bool americas;
    };
    for (const Case& c :
         {Case{"de_CH", "de", false}, Case{"en_CA", "us", true}, Case{"es_MX", "sp", true},
          Case{"fr_CA", "fr", true}, Case{"en_GB", "us", false}, Case{"es_ES", "sp", false},
          Case{"C", "us", true}, Case{"pt_BR", "po", false}, Case{"nl_NL", "us", false}}) {
        const LanguageChoice choice =
            language_for_identifier(language_identifier_of_locale(c.locale));
        EXPECT_EQ(choice.code, c.code) << c.locale;
        EXPECT_EQ(choice.americas, c.americas) << c.locale;
    }
}

TEST(Paths, NormaliseToOneSpellingOfAFolder) {
    EXPECT_EQ(normalise_path("\\opt\\\\kesto//cfg/"), "/opt/kesto/cfg");
    EXPECT_EQ(normalise_path(" \t\"/opt/kesto ftp/\" "), "/opt/kesto ftp");
    EXPECT_EQ(normalise_path("/"), "/");
    EXPECT_EQ(normalise_path("\"//\""), "/");
    EXPECT_EQ(normalise_path(""), "");
    EXPECT_EQ(config_path("/opt/kesto/", "cfg/KestoFTP.ini"), "/opt/kesto/cfg/KestoFTP.ini");
    EXPECT_EQ(config_path("/", "/cfg\\KestoFTP.ini"), "/cfg/KestoFTP.ini");
}

TEST(CatalogueSource, CompilesTextsWithEscapesAndNamesTheFirstBadLine) {
    SourceError error;
    const auto texts = parse_catalogue_source(
        "# comment\r\n\n677\t***\n9278\tRemove %s?\\n\\nSure\\t\\\\\n", error);
    EXPECT_EQ(error.line, 0);
    ASSERT_EQ(texts.size(), 2U);
    EXPECT_EQ(texts.at(9278), "Remove %s?\n\nSure\t\\");

    struct Bad {
        const char* source;
        int line;
    };
    for (const Bad& bad : {Bad{"677\t***\nx12\ttext\n", 2}, Bad{"677\t***\n12 text\n", 2},
                           Bad{"677\t***\n12\ta\\q\n", 2}, Bad{"12\ta\n677\t***\n12\tb\n", 3},
                           Bad{"123456\ttoo big\n", 1}}) {
        EXPECT_TRUE(parse_catalogue_source(bad.source, error).empty()) << bad.source;
        EXPECT_EQ(error.line, bad.line) << bad.source;
    }
}

}  // namespace
}  // namespace kesto::common
