#include "colophon/contact.h"

#include "common/file_helpers.h"
#include "common/paths.h"
#include "common/profile_store.h"
#include "common/text_helpers.h"

namespace kesto::colophon {

namespace {

struct ContactSet {
    std::string_view section;
    std::string_view telephone;
    std::string_view fax;
    std::string_view email;
    std::string_view web;
};

// Placeholders from the ranges reserved for examples (555-01xx, example.com/.org): they
// can never reach a real person, and they look like what they are.
constexpr ContactSet kAmericas{"CONTACT_AMERICAS", "+1 555-0100", "+1 555-0101",
                               "support-americas@example.com", "www.example.com"};
constexpr ContactSet kInternational{"CONTACT_INTERNATIONAL", "+1 555-0110", "+1 555-0111",
                                    "support@example.com", "www.example.org"};

constexpr std::string_view kProfile = "cfg/Colophon.ini";

ContactDetails shipped(const ContactSet& set) {
    return {std::string(set.telephone), std::string(set.fax), std::string(set.email),
            std::string(set.web)};
}

ContactDetails read_set(common::ProfileStore& store, const ContactSet& set) {
    return {store.read_text(set.section, "TELEPHONE", set.telephone),
            store.read_text(set.section, "FAX", set.fax),
            store.read_text(set.section, "EMAIL", set.email),
            store.read_text(set.section, "WEB", set.web)};
}

}  // namespace

ContactDetails read_contact(std::string_view program_folder, bool americas) {
    if (program_folder.empty()) return shipped(americas ? kAmericas : kInternational);
    const std::string path = common::config_path(program_folder, kProfile);
    if (!common::is_file(path)) (void)common::make_folder(common::folder_of(path));
    common::ProfileStore store(path);
    // Both sets are read, so that both are written back for the deployer to find; the
    // cache makes that one write instead of eight.
    store.set_caching(true);
    ContactDetails americas_set = read_set(store, kAmericas);
    ContactDetails international_set = read_set(store, kInternational);
    store.set_caching(false);  // writes the collected defaults
    return americas ? americas_set : international_set;
}

std::string telephone_and_fax(const ContactDetails& contact) {
    if (contact.fax.empty()) return contact.telephone;
    return contact.telephone + ", Fax " + contact.fax;
}

}  // namespace kesto::colophon
