#pragma once
// The support contact the about box shows: configuration of the library, so that a
// company deploying the server names its own support desk without rebuilding anything.
//
// <program folder>/cfg/Colophon.ini holds two sets, [CONTACT_AMERICAS] for users in the
// Americas and [CONTACT_INTERNATIONAL] for everyone else, each with the keys TELEPHONE,
// FAX, EMAIL and WEB (the web address without "http://"). A missing key is written back
// with its shipped value, a placeholder from the reserved example ranges, so the first
// about box leaves a complete file to edit. An empty value leaves its line out.

#include <string>
#include <string_view>

namespace kesto::colophon {

struct ContactDetails {
    std::string telephone;
    std::string fax;
    std::string email;
    std::string web;
};

// The set for the Americas or for everywhere else, read from the program folder's
// cfg/Colophon.ini (created with its folder when missing). Without a program folder, or
// when the file cannot be read, the shipped values.
[[nodiscard]] ContactDetails read_contact(std::string_view program_folder, bool americas);

// The telephone line's value: the telephone number, then ", Fax " and the fax number
// when there is one.
[[nodiscard]] std::string telephone_and_fax(const ContactDetails& contact);

}  // namespace kesto::colophon
